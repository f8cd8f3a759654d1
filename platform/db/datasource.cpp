#include "platform/db/datasource.h"

#include <algorithm>

// --- TDataLink -------------------------------------------------------------------

TDataLink::~TDataLink() {
    if (source_) source_->removeLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == source_) return;
    if (source_) source_->removeLink(this);
    source_ = nullptr;
    if (source) source->addLink(this);
    ActiveChanged();
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

bool TDataLink::Active() const {
    TDataSet* dataSet = DataSet();
    return dataSet && dataSet->Active();
}

// --- TDataSource -----------------------------------------------------------------

TDataSource::TDataSource(QObject* parent) : QObject(parent) {}

TDataSource::~TDataSource() {
    if (dataSet_) dataSet_->DetachDataSource(this);
    for (TDataLink* link : std::vector<TDataLink*>(links_)) link->source_ = nullptr;
}

void TDataSource::addLink(TDataLink* link) {
    links_.push_back(link);
    link->source_ = this;
}

void TDataSource::removeLink(TDataLink* link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
    link->source_ = nullptr;
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_) dataSet_->DetachDataSource(this);
    dataSet_ = dataSet;
    if (dataSet_) dataSet_->AttachDataSource(this);
    NotifyDataEvent(TDataEvent::deActiveChange, nullptr, false);
}

void TDataSource::DataSetDestroyed() {
    dataSet_ = nullptr;
    NotifyDataEvent(TDataEvent::deActiveChange, nullptr, false);
}

TDataSetState TDataSource::State() const {
    return dataSet_ ? dataSet_->State() : TDataSetState::dsInactive;
}

void TDataSource::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    NotifyDataEvent(TDataEvent::deActiveChange, nullptr, false);
}

void TDataSource::Edit() {
    if (dataSet_ && dataSet_->State() == TDataSetState::dsBrowse) dataSet_->Edit();
}

namespace {

void tellLink(TDataLink* link, TDataEvent event, TField* field) {
    switch (event) {
        case TDataEvent::deFieldChange:
            return link->RecordChanged(field);
        case TDataEvent::deRecordChange:
            return link->RecordChanged(nullptr);
        case TDataEvent::deDataSetChange:
            return link->DataSetChanged();
        case TDataEvent::deDataSetScroll:
            return link->DataSetScrolled();
        case TDataEvent::deUpdateRecord:
            return link->UpdateData();
        case TDataEvent::deUpdateState:
            return link->StateChanged();
        case TDataEvent::deCheckBrowseMode:
            return link->CheckBrowseMode();
        case TDataEvent::deActiveChange:
            return link->ActiveChanged();
    }
}

}  // namespace

void TDataSource::NotifyDataEvent(TDataEvent event, TField* field, bool controlsDisabled) {
    // By index, not by iterator: a link may come or go while it is told.
    for (std::size_t i = 0; i < links_.size(); ++i) {
        TDataLink* link = links_[i];
        bool quiet = controlsDisabled || !enabled_;
        if (quiet && !link->FollowsWhenDisabled() && event != TDataEvent::deActiveChange) continue;
        tellLink(link, event, field);
    }
    if ((controlsDisabled || !enabled_) && event != TDataEvent::deActiveChange &&
        event != TDataEvent::deUpdateState)
        return;
    switch (event) {
        case TDataEvent::deFieldChange:
        case TDataEvent::deRecordChange:
        case TDataEvent::deDataSetChange:
        case TDataEvent::deDataSetScroll:
            if (event != TDataEvent::deFieldChange) field = nullptr;
            if (OnDataChange) OnDataChange(this, field);
            emit dataChanged(field);
            break;
        case TDataEvent::deUpdateRecord:
            if (OnUpdateData) OnUpdateData(this);
            emit updateData();
            break;
        case TDataEvent::deUpdateState:
            if (OnStateChange) OnStateChange(this);
            emit stateChanged();
            break;
        case TDataEvent::deActiveChange:
            emit activeChanged();
            if (OnStateChange) OnStateChange(this);
            emit stateChanged();
            break;
        case TDataEvent::deCheckBrowseMode:
            break;
    }
}
