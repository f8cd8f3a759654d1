// Rebuilding a table.  Like a careful repair, it never edits the original:
//
//   1. Find the table's files, finish or undo a swap a crash interrupted
//      (swap.cpp), and lock the .DB, so that a table open in a running
//      program is refused.
//   2. Read every record that can be reached (salvage.cpp), checking every
//      field and memo.
//   3. Check that the caller's description is the table's structure.
//   4. Keep the rows in key order; a row whose key repeats an earlier one is
//      a key violation.  A record that cannot be read is a problem row; a
//      row whose memo text cannot be read keeps a blank memo and is also a
//      problem row.
//   5. Write the rebuilt table under work names beside the original, full
//      blocks, fresh index and memo file, the same auto-increment counter
//      (raised to the largest value found), and make it durable.  The
//      engine must open it, or the rebuild fails.
//   6. Write the key-violation and problem tables (unkeyed Paradox tables;
//      the problem table has a PROBLEM field saying what was wrong).  A name
//      already taken by an earlier rebuild gets a number, so nothing an
//      earlier rebuild saved is overwritten.  When the table was damaged,
//      the backup of an earlier rebuild is kept under such a name too.
//   7. Swap (platform/paradox/table_swap.cpp): the originals stay under the
//      backup name, the rebuilt files take their place.
//
// A failure in steps 1 to 6 removes the work files; the original is as it
// was.  The backup is the caller's to delete.

#include "platform/tutil/rebuild.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <numeric>
#include <optional>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/table.h"
#include "platform/paradox/table_swap.h"
#include "platform/tutil/pack.h"
#include "platform/tutil/salvage.h"
#include "platform/tutil/tutil.h"

namespace fs = std::filesystem;

namespace tutil {

namespace {

std::string companion(const std::string& db, const std::string& ext) {
    return paradox::findCaseInsensitive(paradox::withExtension(db, "." + ext));
}

// Same extension case as the .DB: "series.db" gets "series.px".
std::string sibling(const std::string& db, const std::string& upperExt) {
    const std::string ext = fs::path(db).extension().string();
    const bool lower = ext.size() > 1 && std::islower(static_cast<unsigned char>(ext[1]));
    std::string e = "." + upperExt;
    if (lower) std::transform(e.begin(), e.end(), e.begin(), ::tolower);
    return paradox::withExtension(db, e);
}

// Runs an engine call, its failures as the library's errors.
template <class Call>
auto engineCall(Call call) {
    try {
        return call();
    } catch (const paradox::ETableDamaged& e) {
        throw TableError(TU_ERR_DAMAGED, e.what());
    } catch (const EDatabaseError& e) {
        throw TableError(TU_ERR_IO, e.what());
    }
}

class FileLock {
public:
    explicit FileLock(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {
        if (fd_ < 0) throw TableError(TU_ERR_IO, "Cannot open " + path);
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd_);
            throw TableError(TU_ERR_IO, "Table " + path + " is in use");
        }
    }
    ~FileLock() { ::close(fd_); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

// Removes the work files of a rebuild unless it got as far as the swap.
class WorkFiles {
public:
    void add(const std::vector<std::string>& files) {
        files_.insert(files_.end(), files.begin(), files.end());
    }
    void keep() { files_.clear(); }
    ~WorkFiles() {
        std::error_code ec;
        for (const auto& f : files_) fs::remove(f, ec);
    }

private:
    std::vector<std::string> files_;
};

void checkDescription(const TableHeader& header, const RebuildRequest& request) {
    bool same = request.fields.size() == header.fields.size() &&
                request.keyFieldCount == header.keyFieldCount;
    for (std::size_t i = 0; same && i < header.fields.size(); ++i) {
        const FieldInfo& a = header.fields[i];
        const FieldInfo& b = request.fields[i];
        same = a.type == b.type && a.sizeByte == b.sizeByte && a.name == b.name;
    }
    if (!same)
        throw TableError(TU_ERR_DESCRIPTION,
                         "The table description does not match " + request.table);
}

TableHeader modelNamed(const TableHeader& header, const std::string& path) {
    TableHeader model = header;
    model.tableName = fs::path(path).filename().string();
    return model;
}

// `base` or, when a table of that name exists, base1, base2, ...
std::string freeName(const std::string& base) {
    for (int n = 0; n < 1000; ++n) {
        const std::string name = n == 0 ? base : base + std::to_string(n);
        if (paradox::findCaseInsensitive(name + ".DB").empty()) return name;
    }
    throw TableError(TU_ERR_IO, "No free name for " + base);
}

std::string uniqueFieldName(const std::vector<FieldInfo>& fields, std::string name) {
    auto taken = [&fields](const std::string& n) {
        return std::any_of(fields.begin(), fields.end(), [&n](const FieldInfo& f) {
            return std::equal(f.name.begin(), f.name.end(), n.begin(), n.end(),
                              [](char a, char b) { return std::toupper(a) == std::toupper(b); });
        });
    };
    while (taken(name)) name += "_";
    return name;
}

// The record's auto-increment value, 0 when it has none.
std::uint32_t autoIncrementOf(const TableHeader& h, const std::uint8_t* record) {
    std::uint32_t largest = 0;
    for (const FieldInfo& f : h.fields) {
        if (f.type != kAutoInc) continue;
        const auto v = paradox::coding::getSortableInt(record + f.offset, 4);
        if (v && *v > 0) largest = std::max(largest, static_cast<std::uint32_t>(*v));
    }
    return largest;
}

// Text of a damaged record, made readable for the problem table: control
// bytes and bytes the code page leaves undefined become "?".
void makePrintable(std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n && p[i] != 0; ++i) {
        const std::uint8_t b = p[i];
        if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            p[i] = '?';
    }
}

void makePrintable(const TableHeader& h, std::vector<std::uint8_t>& record,
                   std::vector<std::vector<std::uint8_t>>& memos) {
    for (const FieldInfo& f : h.fields)
        if (f.type == kAlpha) makePrintable(record.data() + f.offset, std::size_t(f.length));
    for (auto& memo : memos) makePrintable(memo.data(), memo.size());
}

// A problem row's memo values, copied so they can be made printable.
struct OwnedMemos {
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<MemoValue> values;

    explicit OwnedMemos(std::span<const MemoValue> memos) {
        for (const MemoValue& m : memos) bytes.emplace_back(m.text().begin(), m.text().end());
    }
    std::span<const MemoValue> view(std::span<const MemoValue> memos) {
        values.clear();
        for (std::size_t i = 0; i < memos.size(); ++i) values.push_back({bytes[i], memos[i].lost});
        return values;
    }
};

// A pass over the rows lets go of the file pages it read every so many
// rows, so that it holds a bounded part of the files whatever their size.
void releaseNowAndThen(const Salvage& salvage, std::size_t row) {
    constexpr std::size_t kRowsResident = 4096;
    if (row % kRowsResident == kRowsResident - 1) salvage.releaseResident();
}

std::string percentText(std::uint32_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

using RowList = std::vector<const SalvagedRow*, LargeAllocator<const SalvagedRow*>>;

class Rebuild {
public:
    Rebuild(const RebuildRequest& request, const RebuildProgress& progress)
        : request_(request), progress_(progress) {}

    RebuildResult run() {
        const TableFiles files = locateTable(request_.table);
        FileLock lock(files.db);
        if (fs::exists(files.db + "-journal"))
            throw TableError(TU_ERR_DAMAGED,
                             "Table " + files.db +
                                 " has an unfinished change; open it once so that the engine "
                                 "can undo it, then rebuild");
        WorkFiles work;
        const std::string workBase =
            (fs::path(files.db).parent_path() / ("_rb_" + fs::path(files.base).filename().string()))
                .string();
        Salvage salvage = readRows(files, workBase, work);
        const TableHeader& h = salvage.header;
        checkDescription(h, request_);
        result_.notes = salvage.notes;
        if (salvage.damaged()) message(files.db + " is damaged; saving every row that can be read");
        sortOut(salvage);

        const std::vector<std::string> written = writeRebuilt(salvage, workBase, work);
        // The rebuilt files reach the disk while the engine opens them; both
        // must succeed before the swap.
        auto durable = std::async(std::launch::async, [&written] { makeDurable(written); });
        checkOpensThenWait(written[0], durable);
        writeSideTables(salvage);
        if (salvage.damaged()) keepEarlierBackup();

        std::vector<paradox::SwapFile> swap;
        swap.push_back({files.db, written[0], request_.backup + ".DB"});
        if (h.keyFieldCount > 0 || !files.px.empty())
            swap.push_back({files.px.empty() ? sibling(files.db, "PX") : files.px,
                            h.keyFieldCount > 0 ? workBase + ".PX" : "", request_.backup + ".PX"});
        if (hasMemo(h) || !files.mb.empty())
            swap.push_back({files.mb.empty() ? sibling(files.db, "MB") : files.mb,
                            hasMemo(h) ? workBase + ".MB" : "", request_.backup + ".MB"});
        engineCall([&] { paradox::swapTableFiles(files.db, swap); });
        work.keep();
        percent(100);
        return result_;
    }

private:
    // The rows as the table's header describes them.  A header whose field
    // descriptor is damaged is read with the structure the caller described
    // (the table's known one), when the names or the record size agree.
    Salvage readRows(const TableFiles& files, const std::string& workBase, WorkFiles& work) {
        const ProgressFn progress = [this](int p) { return percent(p / 2); };
        const BlockRowsFn write = [&](const Salvage& salvage, std::size_t first) {
            writeWhileReading(salvage, first, workBase, work);
        };
        try {
            return salvageTable(files.db, files.mb, progress, nullptr, write);
        } catch (const TableError& damage) {
            if (damage.code != TU_ERR_DAMAGED || request_.fields.empty()) throw;
            const KnownStructure known{request_.fields, request_.keyFieldCount};
            Salvage salvage;
            streamed_.reset();
            streamFailed_ = false;
            streamedAutoIncrement_ = 0;
            try {
                salvage = salvageTable(files.db, files.mb, progress, &known, write);
            } catch (const TableError& e) {
                throw TableError(TU_ERR_DAMAGED, std::string(damage.what()) + "; " + e.what());
            }
            salvage.notes.insert(salvage.notes.begin(), damage.what());
            message("the field descriptor of " + files.db +
                    " is damaged; it is rebuilt from the table's known structure");
            return salvage;
        }
    }

    static bool hasMemo(const TableHeader& h) {
        return std::any_of(h.fields.begin(), h.fields.end(),
                           [](const FieldInfo& f) { return f.isMemo(); });
    }

    bool percent(int p) {
        if (progress_.percent && !progress_.percent(p))
            throw TableError(TU_ERR_ABORTED, "The rebuild of " + request_.table + " was stopped");
        return true;
    }
    void message(const std::string& text) {
        if (progress_.message && !progress_.message(text))
            throw TableError(TU_ERR_ABORTED, "The rebuild of " + request_.table + " was stopped");
    }

    void sortOut(const Salvage& salvage) {
        if (streamed_) return gatherLeftOut(salvage);
        const TableHeader& h = salvage.header;
        RowList rows;
        rows.reserve(salvage.rows.size());
        kept_.reserve(salvage.rows.size());
        for (const SalvagedRow& row : salvage.rows) {
            if (!row.intact()) problems_.push_back(&row);
            if (!row.unreadable) rows.push_back(&row);
        }
        if (h.keyFieldCount > 0) {
            // A healthy chain is in key order already.
            std::size_t compared = 0;
            const auto less = [&](const SalvagedRow* a, const SalvagedRow* b) {
                releaseNowAndThen(salvage, compared++);
                return keyLess(h, a->record, b->record);
            };
            const bool sorted = salvage.inKeyOrder;
            if (!sorted) std::stable_sort(rows.begin(), rows.end(), less);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const bool repeats =
                    sorted ? rows[i]->repeatsKey
                           : i > 0 && keyEqual(h, rows[i - 1]->record, rows[i]->record);
                (repeats ? keyViolations_ : kept_).push_back(rows[i]);
                if (!sorted) releaseNowAndThen(salvage, i);
            }
        } else {
            kept_ = std::move(rows);
        }
    }

    // The kept rows are written already, in key order: only the rows left
    // out of the table are listed.
    void gatherLeftOut(const Salvage& salvage) {
        for (const SalvagedRow& row : salvage.rows) {
            if (!row.intact()) problems_.push_back(&row);
            if (!row.unreadable && row.repeatsKey) keyViolations_.push_back(&row);
        }
    }

    std::unique_ptr<TablePacker> newPacker(const TableHeader& h, const std::string& workBase,
                                           WorkFiles& work) const {
        for (const char* ext : {".DB", ".PX", ".MB"}) fs::remove(workBase + ext);
        TableHeader model = modelNamed(h, locateName());
        if (request_.blockSizeKiB != 0) model.blockSizeCode = request_.blockSizeKiB;
        auto packer = std::make_unique<TablePacker>(workBase, model, h.fields, h.keyFieldCount);
        work.add(packer->files());
        return packer;
    }

    // While the rows come in key order (a healthy table's do), each block's
    // kept rows are written as soon as they are read, so the files are
    // passed over once.  Rows out of order, or a failure to write, drop what
    // was written: writeRebuilt then writes the sorted rows, and meets the
    // failure where it always did.
    void writeWhileReading(const Salvage& salvage, std::size_t first, const std::string& workBase,
                           WorkFiles& work) {
        if (streamFailed_ || !salvage.inKeyOrder) {
            streamed_.reset();
            streamFailed_ = true;
            return;
        }
        try {
            if (!streamed_) streamed_ = newPacker(salvage.header, workBase, work);
            for (std::size_t i = first; i < salvage.rows.size(); ++i) {
                const SalvagedRow& row = salvage.rows[i];
                if (!row.unreadable && !row.repeatsKey) addKept(*streamed_, salvage, row);
            }
        } catch (const std::exception&) {
            streamed_.reset();
            streamFailed_ = true;
        }
    }

    void addKept(TablePacker& packer, const Salvage& salvage, const SalvagedRow& row) {
        packer.add(row.record, salvage.memosOf(row));
        // The counter is raised to the largest value found.
        streamedAutoIncrement_ =
            std::max(streamedAutoIncrement_, autoIncrementOf(salvage.header, row.record));
    }

    // Writes the kept rows into fresh files (unless they were written while
    // reading); makeDurable is the caller's.
    std::vector<std::string> writeRebuilt(const Salvage& salvage, const std::string& workBase,
                                          WorkFiles& work) {
        const TableHeader& h = salvage.header;
        std::unique_ptr<TablePacker> packer = std::move(streamed_);
        if (!packer) {
            streamedAutoIncrement_ = 0;
            packer = newPacker(h, workBase, work);
            const std::size_t total = std::max<std::size_t>(kept_.size(), 1);
            for (std::size_t i = 0; i < kept_.size(); ++i) {
                addKept(*packer, salvage, *kept_[i]);
                if (i % 4096 == 0) percent(50 + static_cast<int>(45 * i / total));
                releaseNowAndThen(salvage, i);
            }
        }
        packer->finish(std::max(h.autoIncrement, streamedAutoIncrement_), false);
        result_.rows = packer->recordCount();
        return packer->files();
    }

    // Waits until every file reached the disk; raises TableError if one
    // cannot be made durable.
    static void makeDurable(const std::vector<std::string>& files) {
        for (const std::string& file : files) {
            const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            const bool synced = fd >= 0 && ::fsync(fd) == 0;
            const int err = errno;
            if (fd >= 0) ::close(fd);
            if (!synced)
                throw TableError(TU_ERR_IO, "Cannot sync " + file + ": " + std::strerror(err));
        }
    }

    // The engine must open what is swapped in: a table it refuses would send
    // the user back to the rebuild, which would write it again.  `durable`
    // is waited for whatever the outcome, as it uses the files.
    void checkOpensThenWait(const std::string& db, std::future<void>& durable) const {
        try {
            paradox::Table::open(db);
        } catch (const std::exception& e) {
            durable.wait();
            throw TableError(TU_ERR_DAMAGED, "The rebuilt " + request_.table + " does not open (" +
                                                 e.what() + "); the table is left as it was");
        }
        durable.get();
    }

    // The swap replaces the backups of an earlier rebuild.  Those may be the
    // last whole copy of a table that is damaged now, so they are kept under
    // the next free name instead.
    void keepEarlierBackup() {
        const std::string earlier = request_.backup;
        if (paradox::findCaseInsensitive(earlier + ".DB").empty()) return;
        const std::string kept = freeName(earlier);
        for (const char* ext : {".DB", ".PX", ".MB"}) {
            const std::string from = paradox::findCaseInsensitive(earlier + ext);
            std::error_code ec;
            if (!from.empty()) fs::rename(from, kept + ext, ec);
            if (ec)
                throw TableError(TU_ERR_IO, "Cannot keep the backup " + from + ": " + ec.message());
        }
        message("the backup of an earlier rebuild is kept as " + kept + ".DB");
    }

    std::string locateName() const { return fs::path(request_.table).filename().string() + ".db"; }

    // The rows left out of the rebuilt table; durable before the swap, as
    // the rebuilt table no longer holds them.
    void writeSideTables(const Salvage& salvage) {
        const TableHeader& h = salvage.header;
        if (!keyViolations_.empty()) {
            const std::string base = freeName(request_.keyViolations);
            TablePacker packer(base, modelNamed(h, base + ".DB"), h.fields, 0);
            for (std::size_t i = 0; i < keyViolations_.size(); ++i) {
                packer.add(keyViolations_[i]->record, salvage.memosOf(*keyViolations_[i]));
                releaseNowAndThen(salvage, i);
            }
            packer.finish(0, true);
            result_.keyViolations = packer.recordCount();
            result_.keyViolationTable = base + ".DB";
            message(percentText(result_.keyViolations, "row whose key repeats",
                                "rows whose keys repeat") +
                    " saved in " + result_.keyViolationTable);
        }
        if (!problems_.empty()) {
            const std::string base = freeName(request_.problems);
            const std::string field = uniqueFieldName(h.fields, "PROBLEM");
            const auto fields = TablePacker::withTextField(h.fields, field, 255);
            const TableHeader model = modelNamed(h, base + ".DB");
            TablePacker packer(base, model, fields, 0);
            std::vector<std::uint8_t> record;
            for (std::size_t i = 0; i < problems_.size(); ++i) {
                const SalvagedRow* row = problems_[i];
                record.assign(row->record, row->record + h.recordSize);
                OwnedMemos memos(salvage.memosOf(*row));
                if (row->unreadable) makePrintable(h, record, memos.bytes);
                std::string text = salvage.problemOf(*row).substr(0, 255);
                record.insert(record.end(), text.begin(), text.end());
                record.resize(std::size_t(recordSizeOf(fields)), 0);
                packer.add(record.data(), memos.view(salvage.memosOf(*row)), true);
                releaseNowAndThen(salvage, i);
            }
            packer.finish(0, true);
            result_.problems = packer.recordCount();
            result_.problemTable = base + ".DB";
            message(percentText(result_.problems, "damaged row", "damaged rows") + " saved in " +
                    result_.problemTable);
        }
    }

    const RebuildRequest& request_;
    const RebuildProgress& progress_;
    RebuildResult result_;
    RowList kept_, keyViolations_, problems_;
    std::unique_ptr<TablePacker> streamed_;  // the rows written while reading
    bool streamFailed_ = false;
    std::uint32_t streamedAutoIncrement_ = 0;
};

}  // namespace

TableFiles locateTable(const std::string& base) {
    TableFiles files;
    files.base = base;
    const std::string db = paradox::findCaseInsensitive(base + ".db");
    if (db.empty()) throw TableError(TU_ERR_NOTFOUND, "Table " + base + " not found");
    engineCall([&] { return paradox::recoverTableSwap(db); });
    files.db = db;
    files.px = companion(db, "px");
    files.mb = companion(db, "mb");
    return files;
}

RebuildResult rebuildTable(const RebuildRequest& request, const RebuildProgress& progress) {
    return Rebuild(request, progress).run();
}

int verifyTable(const std::string& base, bool headerOnly, std::vector<std::string>& findings,
                bool lock) {
    const TableFiles files = locateTable(base);
    TableHeader header;
    try {
        header = readHeader(files.db);
    } catch (const TableError& e) {
        findings.push_back(e.what());
        return TU_LEVEL_UNREADABLE;
    }
    int level = TU_LEVEL_HEALTHY;
    if (header.modifiedFlags) {
        findings.push_back("the header marks the table as needing a rebuild");
        level = TU_LEVEL_WARNINGS;
    }
    if (header.keyFieldCount > 0 && files.px.empty()) {
        findings.push_back("the primary index file is missing");
        level = TU_LEVEL_WARNINGS;
    }
    std::error_code ec;
    const auto size = fs::file_size(files.db, ec);
    if (size !=
        std::uintmax_t(header.headerSize) + std::uintmax_t(header.fileBlocks) * header.blockSize) {
        findings.push_back("the file size disagrees with the header");
        level = std::max(level, int(TU_LEVEL_WARNINGS));
    }
    if (headerOnly) return level;
    // The rows are read from a mapping of the files: one that another
    // process cuts short under it would end this process.  The engine
    // changes a table only while it holds this lock.
    std::optional<FileLock> held;
    if (lock) held.emplace(files.db);
    const Salvage salvage = salvageTable(files.db, files.mb);
    for (const auto& note : salvage.notes) findings.push_back(note);
    if (!salvage.notes.empty()) level = std::max(level, int(TU_LEVEL_WARNINGS));
    for (const auto& row : salvage.rows)
        if (!row.intact()) findings.push_back(salvage.problemOf(row));
    const bool rowsLost = salvage.rows.size() < header.numRecords;
    if (rowsLost || !salvage.problems.empty()) level = TU_LEVEL_DAMAGED;
    return level;
}

void writeErrorTable(const std::string& base, const TableHeader& model,
                     const std::vector<std::string>& findings) {
    TablePacker packer(base, modelNamed(model, base + ".DB"),
                       TablePacker::withTextField({}, "ERROR", 255), 0);
    std::vector<std::uint8_t> record(255);
    for (const std::string& finding : findings) {
        std::fill(record.begin(), record.end(), 0);
        std::copy_n(finding.begin(), std::min<std::size_t>(finding.size(), 255), record.begin());
        packer.add(record.data(), {});
    }
    packer.finish(0, true);
}

}  // namespace tutil
