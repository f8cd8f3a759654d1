// TTable: opening by alias, the index in use, the master link and key
// searches.  The cursor itself is in table_cursor.cpp.
#include "platform/db/table.h"

#include <QFileInfo>
#include <QStringList>

#include "platform/base/exception.h"
#include "platform/base/scope_guard.h"
#include "platform/db/datasource.h"
#include "platform/db/session.h"

// Follows the master's data source: a move of the master, a change of one of
// its link fields, or its opening and closing re-ranges the detail.
class TMasterLink : public TDataLink {
public:
    explicit TMasterLink(TTable* detail) : detail_(detail) {}
    bool FollowsWhenDisabled() const override { return true; }
    void ActiveChanged() override { detail_->masterChanged(true); }
    void RecordChanged(TField* field) override {
        if (field && !isMasterField(field)) return;
        detail_->masterChanged(false);
    }
    // The master is about to leave its row: a pending detail row goes first.
    void CheckBrowseMode() override {
        if (detail_->Active()) detail_->CheckBrowseMode();
    }

private:
    bool isMasterField(const TField* field) const {
        for (const QString& name : detail_->masterFieldNames_)
            if (name.compare(field->FieldName(), Qt::CaseInsensitive) == 0) return true;
        return false;
    }
    TTable* detail_;
};

namespace {

QStringList splitNames(const QString& names) {
    QStringList list;
    for (const QString& name : names.split(';', Qt::SkipEmptyParts)) list << name.trimmed();
    return list;
}

// A key value of the engine's kind for a key field of `type`.
paradox::Value keyValue(const QVariant& value, paradox::FieldType type) {
    using P = paradox::FieldType;
    if (!value.isValid() || value.isNull()) return paradox::Value::null();
    switch (type) {
        case P::Short:
        case P::Long:
        case P::AutoInc:
        case P::Date:
        case P::Time:
            return paradox::Value::integer(value.toLongLong());
        case P::Money:
        case P::Number:
        case P::Timestamp:
            return paradox::Value::floating(value.toDouble());
        case P::Logical:
            return paradox::Value::boolean(value.toBool());
        default:
            return paradox::Value::text(value.toString().toStdString());
    }
}

// The engine value of a master field converted to the detail's key type.
paradox::Value convertValue(const paradox::Value& value, paradox::FieldType type) {
    using P = paradox::FieldType;
    bool integerKey = type == P::Short || type == P::Long || type == P::AutoInc;
    if (integerKey && value.isDouble())
        return paradox::Value::integer(static_cast<std::int64_t>(value.asDouble()));
    if ((type == P::Money || type == P::Number) && value.isInt())
        return paradox::Value::floating(static_cast<double>(value.asInt()));
    return value;
}

}  // namespace

TTable::TTable() : masterLink_(std::make_unique<TMasterLink>(this)) {}

TTable::~TTable() {
    masterLink_.reset();  // stop following before the dataset goes
    Close();
}

void TTable::SetDatabaseName(const QString& name) {
    if (Active()) DatabaseError(QStringLiteral("Cannot change the database of an open table"));
    databaseName_ = name;
}

void TTable::SetTableName(const QString& name) {
    if (Active()) DatabaseError(QStringLiteral("Cannot change the name of an open table"));
    tableName_ = name;
}

QString TTable::TablePath() const {
    return table_ ? QString::fromStdString(table_->path()) : QString();
}

void TTable::SetIndexFieldNames(const QString& names) {
    QString saved = indexFieldNames_;
    indexFieldNames_ = names;
    if (!Active()) return;
    {
        const TUndoOnError restore([&] { indexFieldNames_ = saved; });
        checkedIndexFieldCount();
    }
    masterChanged(true);
}

void TTable::SetMasterSource(TDataSource* source) {
    masterSource_ = source;
    masterFieldCache_.clear();
    masterLink_->SetDataSource(source);
}

void TTable::SetMasterFields(const QString& fields) {
    QString saved = masterFields_;
    masterFields_ = fields;
    masterFieldNames_ = splitNames(fields);
    masterFieldCache_.clear();
    if (!Active()) return;
    {
        const TUndoOnError restore([&] {
            masterFields_ = saved;
            masterFieldNames_ = splitNames(saved);
        });
        checkedIndexFieldCount();
    }
    masterChanged(true);
}

// The engine has only its primary index: IndexFieldNames must name its
// leading fields, and there must be at least as many as master fields.
int TTable::checkedIndexFieldCount() const {
    const paradox::TableSchema& schema = table_->schema();
    QStringList names = splitNames(indexFieldNames_);
    if (names.size() > schema.keyFieldCount)
        DatabaseError(QStringLiteral("No index for fields '%1'").arg(indexFieldNames_));
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].compare(QString::fromStdString(schema.fields[i].name), Qt::CaseInsensitive))
            DatabaseError(QStringLiteral("No index for fields '%1'").arg(indexFieldNames_));
    }
    int count = names.isEmpty() ? schema.keyFieldCount : static_cast<int>(names.size());
    int masterCount = static_cast<int>(masterFieldNames_.size());
    if (masterCount > count)
        DatabaseError(QStringLiteral("Master fields '%1' do not match the index fields '%2'")
                          .arg(masterFields_, indexFieldNames_));
    return count;
}

QString TTable::filePath() const {
    return TSession::TablePath(Session().DatabaseDirectory(databaseName_), tableName_);
}

paradox::TableSchema TTable::InternalOpen() {
    const QString path = filePath();
    if (tableName_.isEmpty() || !paradox::Table::exists(path.toStdString()))
        DatabaseError(QStringLiteral("Table does not exist: %1").arg(path));
    table_ = paradox::Table::open(path.toStdString());
    {
        const TUndoOnError closeOnError([this] { table_.reset(); });
        checkedIndexFieldCount();
    }
    hasRow_ = false;
    currentKey_.clear();
    seenChange_ = table_->changeCount();
    countCache_ = -1;
    masterFieldCache_.clear();
    linked_ = shouldLink();
    linkValues_ = linked_ ? masterValues() : std::vector<paradox::Value>{};
    computeRange();
    return table_->schema();
}

void TTable::InternalClose() {
    table_.reset();
    hasRow_ = false;
    linked_ = false;
    currentKey_.clear();
    range_ = {};
}

bool TTable::InternalCanModify() const { return table_ && table_->writable(); }

void TTable::SaveChanges() {
    if (!table_) DatabaseError(QStringLiteral("Cannot save changes of a closed table"));
    table_->saveChanges();
}

// --- master link ---------------------------------------------------------------

bool TTable::shouldLink() const {
    TDataSet* master = masterSource_ ? masterSource_->DataSet() : nullptr;
    return master && master->Active() && !masterFieldNames_.isEmpty();
}

// The master's link fields, looked up once per opening of either table.
const std::vector<const TField*>& TTable::masterFieldList() const {
    if (masterFieldCache_.empty()) {
        TDataSet* master = masterSource_->DataSet();
        std::vector<const TField*> fields;
        for (const QString& name : masterFieldNames_) fields.push_back(master->FieldByName(name));
        masterFieldCache_ = std::move(fields);
    }
    return masterFieldCache_;
}

std::vector<paradox::Value> TTable::masterValues() const {
    const paradox::TableSchema& schema = table_->schema();
    const std::vector<const TField*>& fields = masterFieldList();
    std::vector<paradox::Value> values;
    for (std::size_t i = 0; i < fields.size(); ++i)
        values.push_back(convertValue(fields[i]->RawValue(), schema.fields[i].type));
    return values;
}

// Whether the master still stands on the link values in force (checked on
// every master move, so without building a new key).
bool TTable::masterValuesUnchanged() const {
    const paradox::TableSchema& schema = table_->schema();
    const std::vector<const TField*>& fields = masterFieldList();
    if (fields.size() != linkValues_.size()) return false;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!(convertValue(fields[i]->RawValue(), schema.fields[i].type) == linkValues_[i]))
            return false;
    return true;
}

void TTable::masterChanged(bool force) {
    if (!Active()) return;
    if (force) masterFieldCache_.clear();  // the master's fields may be new
    bool link = shouldLink();
    if (!force && link == linked_ && (!link || masterValuesUnchanged())) return;
    std::vector<paradox::Value> values = link ? masterValues() : std::vector<paradox::Value>{};
    CheckBrowseMode();
    linked_ = link;
    linkValues_ = std::move(values);
    countCache_ = -1;
    sync();
    computeRange();
    RestartAtFirst();
}

// --- key searches ----------------------------------------------------------------

// A key search may name every field of the index, also those after the
// IndexFieldNames that selected it (books: ENTRY, then COMIC_NO).
std::vector<paradox::Value> TTable::keyFromVariants(const QVariantList& values) const {
    const paradox::TableSchema& schema = table_->schema();
    checkedIndexFieldCount();
    int count = schema.keyFieldCount;
    if (values.isEmpty() || values.size() > count)
        DatabaseError(QStringLiteral("A key search needs 1 to %1 values").arg(count));
    std::vector<paradox::Value> key;
    for (int i = 0; i < values.size(); ++i)
        key.push_back(keyValue(values[i], schema.fields[i].type));
    return key;
}

bool TTable::FindKey(const QVariantList& values) {
    if (!Active()) DatabaseError(QStringLiteral("Cannot search a closed table"));
    CheckBrowseMode();
    std::vector<paradox::Value> key = keyFromVariants(values);
    sync();
    for (std::size_t p = table_->lowerBound(key); p < table_->rowCount(); ++p) {
        const paradox::Row& row = table_->row(p);
        if (!std::equal(key.begin(), key.end(), row.begin())) return false;
        if (visible(p)) {
            BeginScroll();
            setPosition(p);
            EndScroll();
            return true;
        }
    }
    return false;
}

void TTable::FindNearest(const QVariantList& values) {
    if (!Active()) DatabaseError(QStringLiteral("Cannot search a closed table"));
    CheckBrowseMode();
    std::vector<paradox::Value> key = keyFromVariants(values);
    BeginScroll();
    sync();
    std::size_t position = table_->lowerBound(key);
    if (!seekForward(position) && !(range_.end > range_.begin && seekBackward(range_.end - 1)))
        hasRow_ = false;
    EndScroll();
}
