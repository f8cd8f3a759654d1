#include "import/packed_store.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "import/import_error.h"
#include "import/new_rows.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/table.h"
#include "platform/tutil/row_packer.h"

namespace import {

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kBookEntry = 0;

// The work files of both tables, removed unless they were renamed into place.
class WorkFiles {
public:
    WorkFiles() = default;
    WorkFiles(const WorkFiles&) = delete;
    WorkFiles& operator=(const WorkFiles&) = delete;
    ~WorkFiles() {
        std::error_code ignored;
        for (const std::string& file : files_) fs::remove(file, ignored);
    }
    void Add(const std::vector<std::string>& files) {
        files_.insert(files_.end(), files.begin(), files.end());
    }
    void Clear() { files_.clear(); }

private:
    std::vector<std::string> files_;
};

// Where a work file goes: the table's file of the same kind, or "" when
// the table has none.
std::string TargetOf(const std::string& workFile, const std::string& db) {
    const std::string ext = fs::path(workFile).extension().string();
    if (ext == ".DB") return db;
    return paradox::findCaseInsensitive(paradox::withExtension(db, ext == ".PX" ? ".px" : ".mb"));
}

// A packer for the table at `db`, writing its files under `base`.
std::unique_ptr<tutil::RowPacker> PackerFor(const std::string& db, const QString& base,
                                            std::size_t rows, WorkFiles& work) {
    const std::string native = QFile::encodeName(base).toStdString();
    auto packer = std::make_unique<tutil::RowPacker>(db, native, rows);
    work.Add(packer->files());
    return packer;
}

// Renames each work file over the table's file of its kind.
void SwapIn(const std::vector<std::string>& workFiles, const std::string& db) {
    for (const std::string& file : workFiles) {
        const std::string target = TargetOf(file, db);
        if (std::rename(file.c_str(), target.c_str()) != 0)
            throw EImportError(QStringLiteral("cannot put %1 in place of %2: %3")
                                   .arg(QString::fromStdString(file),
                                        QString::fromStdString(target),
                                        QString::fromLocal8Bit(std::strerror(errno)))
                                   .toStdString());
    }
}

// A table without its index or memo file (another program may have
// removed them) takes the slow way, whose undo covers the files it had.
bool HasEveryTarget(const tutil::RowPacker& packer, const std::string& db) {
    for (const std::string& file : packer.files())
        if (TargetOf(file, db).empty()) return false;
    return true;
}

}  // namespace

std::optional<CommitResult> StoreIntoEmptyTables(const PlanData& data,
                                                 const std::vector<Placement>& placements,
                                                 const EmptyTables& tables,
                                                 const Progress& progress) {
    const NewSeries newSeries = PlanNewSeries(data, placements, tables.seriesCounter + 1);
    std::size_t taken = 0;
    for (std::size_t b = 0; b < data.books.size(); ++b)
        taken += placements[b].outcome == Outcome::Added && data.Taken(data.books[b]);
    WorkFiles work;
    const auto seriesOut =
        PackerFor(tables.seriesDb, tables.seriesWork, newSeries.rows.size(), work);
    const auto booksOut = PackerFor(tables.booksDb, tables.booksWork, taken, work);
    if (!HasEveryTarget(*seriesOut, tables.seriesDb) || !HasEveryTarget(*booksOut, tables.booksDb))
        return std::nullopt;
    for (const paradox::Row& row : newSeries.rows) seriesOut->add(row);
    // In the plan's order, which is the order of the rows in memory.
    paradox::Row row;  // each book's in turn
    const qint64 total = static_cast<qint64>(data.books.size());
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        if ((b + 1) % 512 == 0) ReportProgress(progress, qint64(b + 1), total);
        if (placements[b].outcome != Outcome::Added || !data.Taken(data.books[b])) continue;
        data.books[b].row.ExpandInto(row);
        row[kBookEntry] = paradox::Value::integer(newSeries.entryOf[data.seriesOf[b]]);
        booksOut->add(row);
    }
    ReportProgress(progress, total, total);
    if (!seriesOut->finish() || !booksOut->finish()) return std::nullopt;
    SwapIn(seriesOut->files(), tables.seriesDb);
    SwapIn(booksOut->files(), tables.booksDb);
    work.Clear();
    paradox::syncDirectory(paradox::directoryOf(tables.booksDb));
    CommitResult result;
    result.seriesAdded = static_cast<int>(newSeries.rows.size());
    result.booksAdded = static_cast<int>(taken);
    return result;
}

}  // namespace import
