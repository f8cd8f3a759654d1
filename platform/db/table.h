#pragma once
// TTable: a dataset over one Paradox table, opened by database alias and
// table name, read in primary-key order.
//
// Master-detail: with MasterSource and MasterFields set, only rows whose
// leading index fields equal the master's current values are visible.  The
// range is found with two key searches on the primary index, never by a
// scan, and is searched again only when the master's link values change.
//
// Several TTable objects on the same file share the engine's rows, so a
// post through one is seen at once by the others; a dataset notices such
// changes by the engine's change counter and finds its row again by key.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>

#include "platform/db/dataset.h"
#include "platform/paradox/table.h"

class TMasterLink;

class TTable : public TDataSet {
public:
    TTable();
    ~TTable() override;

    const QString& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const QString& name);
    const QString& TableName() const { return tableName_; }
    void SetTableName(const QString& name);
    // The table file in use (after Open).
    QString TablePath() const;

    // The index the rows are read and searched by, as a list of field names
    // separated by ';'.  Only the primary index exists, so the names must be
    // its leading fields (the index "whose fields begin with" them is the
    // primary index); empty means the whole primary key.
    const QString& IndexFieldNames() const { return indexFieldNames_; }
    void SetIndexFieldNames(const QString& names);

    TDataSource* MasterSource() const { return masterSource_; }
    void SetMasterSource(TDataSource* source);
    // Master fields, separated by ';', matched in order with the leading
    // index fields.  Empty: no link, every row is visible.
    const QString& MasterFields() const { return masterFields_; }
    void SetMasterFields(const QString& fields);

    // Key searches on the current index, after returning to browse state.
    // Values are given for the leading fields of the index, as many as it
    // has (IndexFieldNames "ENTRY" still searches ENTRY, COMIC_NO, EDITION
    // of the books' primary index).  FindKey positions on
    // the visible row with exactly that key and returns false (cursor kept)
    // when none exists; FindNearest positions on the first visible row at or
    // after the key (the last visible row when none is).
    bool FindKey(const QVariantList& values);
    void FindNearest(const QVariantList& values);

    // Returns after this table's changes reached the disk.
    void SaveChanges();
    // The engine's table, for tools that work below the dataset layer.
    paradox::Table* EngineTable() const { return table_.get(); }

protected:
    paradox::TableSchema InternalOpen() override;
    void InternalClose() override;
    bool InternalFirst() override;
    bool InternalLast() override;
    bool InternalNext() override;
    bool InternalPrior() override;
    const paradox::Row* InternalCurrentRow() const override;
    const paradox::Row* InternalRowAt(int recNo) const override;
    int InternalRecNo() const override;
    bool InternalSetRecNo(int recNo) override;
    int InternalRecordCount() const override;
    void InternalInitRecord(paradox::Row& row) override;
    void InternalEdit() override;
    void InternalPost(const paradox::Row& row, bool inserting) override;
    void InternalDelete() override;
    void InternalRefresh() override;
    bool InternalCanModify() const override;
    void InternalFilterChanged() override;

private:
    friend class TMasterLink;
    struct Range {
        std::size_t begin = 0;
        std::size_t end = 0;
    };

    QString filePath() const;
    int checkedIndexFieldCount() const;
    std::vector<paradox::Value> keyFromVariants(const QVariantList& values) const;
    std::vector<paradox::Value> keyOf(const paradox::Row& row) const;
    std::vector<paradox::Value> masterValues() const;
    const std::vector<const TField*>& masterFieldList() const;
    bool masterValuesUnchanged() const;
    void masterChanged(bool force);
    bool shouldLink() const;
    // Brings the cached range and position up to date after any change
    // through any handle of the table.
    void sync() const;
    void computeRange() const;
    bool visible(std::size_t position) const;
    bool seekForward(std::size_t from) const;
    bool seekBackward(std::size_t from) const;
    void setPosition(std::size_t position) const;
    void settleOn(std::size_t position) const;

    QString databaseName_;
    QString tableName_;
    QString indexFieldNames_;
    QString masterFields_;
    QStringList masterFieldNames_;  // masterFields_ split, trimmed
    mutable std::vector<const TField*> masterFieldCache_;
    TDataSource* masterSource_ = nullptr;
    std::unique_ptr<TMasterLink> masterLink_;
    std::shared_ptr<paradox::Table> table_;

    // Cursor state: mutable because a read may first catch up with changes
    // made through another handle.
    mutable Range range_;
    mutable std::size_t position_ = 0;  // engine position of the current row
    mutable bool hasRow_ = false;
    mutable std::vector<paradox::Value> currentKey_;
    std::vector<paradox::Value> editKey_;  // key of the row when its edit began
    mutable std::uint64_t seenChange_ = 0;
    mutable std::vector<paradox::Value> linkValues_;  // master values in force
    mutable bool linked_ = false;
    mutable int countCache_ = -1;
};
