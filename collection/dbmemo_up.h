#pragma once
// TDBMemoUp: the data-aware memo with its character-case conversion offered
// as a setting, so the collection window can ask for upper case.  It adds
// nothing else.

#include "platform/widgets/db_memo.h"

class TDBMemoUp : public TDBMemo {
    Q_OBJECT

public:
    using TDBMemo::TDBMemo;

    TEditCharCase CharCase() const { return charCase(); }
    void SetCharCase(TEditCharCase charCase) { setCharCase(charCase); }
};
