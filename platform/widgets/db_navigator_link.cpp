#include "platform/widgets/db_navigator_link.h"

TNavigatorLink::TNavigatorLink(TDBNavigator* navigator) : navigator_(navigator) {}

TNavigatorLink::~TNavigatorLink() {
    if (navigator_ && navigator_->DataSource() == this) navigator_->SetDataSource(nullptr);
}

void TNavigatorLink::Connect(TDataSource* source) {
    SetDataSource(source);
    if (navigator_) navigator_->SetDataSource(source ? this : nullptr);
}

bool TNavigatorLink::Active() const { return TDataLink::Active(); }

// A dataset that cannot move further back or forward: Bof and Eof as the
// navigator reads them, also true on an empty dataset.
bool TNavigatorLink::Bof() const { return !Active() || set()->IsEmpty() || set()->RecNo() <= 1; }

bool TNavigatorLink::Eof() const {
    return !Active() || set()->IsEmpty() || set()->RecNo() >= set()->RecordCount() ||
           set()->State() == TDataSetState::dsInsert;
}

bool TNavigatorLink::Editing() const {
    return Active() &&
           (set()->State() == TDataSetState::dsEdit || set()->State() == TDataSetState::dsInsert);
}

bool TNavigatorLink::CanModify() const { return Active() && set()->CanModify(); }

void TNavigatorLink::First() { set()->First(); }
void TNavigatorLink::Prior() { set()->Prior(); }
void TNavigatorLink::Next() { set()->Next(); }
void TNavigatorLink::Last() { set()->Last(); }
void TNavigatorLink::Insert() { set()->Insert(); }
void TNavigatorLink::Delete() { set()->Delete(); }
void TNavigatorLink::Edit() { set()->Edit(); }
void TNavigatorLink::Post() { set()->Post(); }
void TNavigatorLink::Cancel() { set()->Cancel(); }
void TNavigatorLink::Refresh() { set()->Refresh(); }

void TNavigatorLink::notify() {
    if (navigator_ && navigator_->DataSource() == this) navigator_->DataChanged();
}
