#include "collection/collection_table.h"

#include "platform/paradox/errors.h"
#include "store/table_room.h"

void TCollectionTable::InternalPost(const paradox::Row& row, bool inserting) {
    try {
        TTable::InternalPost(row, inserting);
    } catch (const paradox::ETableFull& full) {
        throw EDatabaseError(store::TableFullMessage(full).toStdString());
    }
}
