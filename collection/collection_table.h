#pragma once
// TCollectionTable: a collection table as the collection window edits it.
// A row the table has no block left for is refused with the message that
// says how to rebuild the table into larger blocks (store/table_room.h);
// the change stays pending and nothing stored is touched.

#include "platform/db/table.h"

class TCollectionTable : public TTable {
protected:
    void InternalPost(const paradox::Row& row, bool inserting) override;
};
