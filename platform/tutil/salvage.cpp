// Salvaging the records of a .db file.  A data block:
//
//   OFFSET  SIZE  FIELD
//   0x00    u16   next block of the chain (0 = last)
//   0x02    u16   previous block (0 = first)
//   0x04    s16   (records - 1) * record size; -record size when empty
//   0x06          the records, packed; the rest of the block is stale
//
// Block n (1-based) starts at header size + (n - 1) * block size.  Free
// blocks are linked from header 0x4D through their next field.

#include "platform/tutil/salvage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/paradox/coding.h"
#include "platform/tutil/tutil.h"

namespace tutil {

using namespace paradox::coding;

namespace {

// Compared in runs against zeros: memcmp is vectorised, a byte loop is not,
// and every text field of every record goes through here.
bool allZero(const std::uint8_t* p, std::size_t n) {
    static constexpr std::uint8_t kZeros[256] = {};
    for (std::size_t run = 0; n > 0; p += run, n -= run) {
        run = std::min(n, sizeof kZeros);
        if (std::memcmp(p, kZeros, run) != 0) return false;
    }
    return true;
}

class Salvager {
public:
    Salvager(const std::string& dbPath, const std::string& mbPath, const ProgressFn& progress)
        : path_(dbPath), progress_(progress) {
        if (!out_.db.read(dbPath))
            throw TableError(TU_ERR_NOTFOUND, "Table " + dbPath + " cannot be opened");
        out_.header = parseHeader(out_.db.bytes(), dbPath);
        out_.memo = MemoReader(mbPath);
        const TableHeader& h = out_.header;
        out_.memoFields = std::size_t(std::count_if(h.fields.begin(), h.fields.end(),
                                                    [](const FieldInfo& f) { return f.isMemo(); }));
        const std::size_t size = out_.db.size();
        const std::size_t data = size > std::size_t(h.headerSize) ? size - h.headerSize : 0;
        available_ = static_cast<int>((data + h.blockSize - 1) / h.blockSize);
        out_.fileBlocksFound = static_cast<std::size_t>(available_);
        seen_.assign(static_cast<std::size_t>(available_) + 1, false);
        // Room for every record the file can hold, so the lists never move.
        const std::size_t capacity = data / std::size_t(h.recordSize);
        out_.rows.reserve(std::min<std::size_t>(capacity, h.numRecords));
        out_.memos.reserve(out_.rows.capacity() * out_.memoFields);
    }

    Salvage run() {
        checkFileSize();
        walkChain();
        markFreeList();
        readStrayBlocks();
        if (chainRecords_ != out_.header.numRecords)
            note("the header counts " + std::to_string(out_.header.numRecords) +
                 " records, the blocks hold " + std::to_string(chainRecords_));
        return std::move(out_);
    }

private:
    void note(const std::string& what) { out_.notes.push_back(what); }

    void checkFileSize() {
        const TableHeader& h = out_.header;
        const std::size_t expected =
            std::size_t(h.headerSize) + std::size_t(h.fileBlocks) * h.blockSize;
        if (out_.db.size() != expected)
            note("the file holds " + std::to_string(out_.db.size()) +
                 " bytes, the header promises " + std::to_string(expected));
    }

    std::uint8_t* block(int n, std::size_t& length) {
        const TableHeader& h = out_.header;
        const std::size_t start = std::size_t(h.headerSize) + std::size_t(n - 1) * h.blockSize;
        length = std::min<std::size_t>(h.blockSize, out_.db.size() - start);
        return out_.db.data() + start;
    }

    void walkChain() {
        const TableHeader& h = out_.header;
        int n = h.firstBlock, prev = 0, length = 0;
        while (n != 0) {
            if (n > available_) {
                note("block " + std::to_string(prev) + " links to block " + std::to_string(n) +
                     " past the end of the file");
                break;
            }
            if (seen_[std::size_t(n)]) {
                note("the block chain runs in a loop at block " + std::to_string(n));
                break;
            }
            std::size_t size = 0;
            const std::uint8_t* b = block(n, size);
            if (size >= 6 && getU16(b + 2) != prev)
                note("block " + std::to_string(n) + " names the wrong previous block");
            seen_[std::size_t(n)] = true;
            chainRecords_ += readRecords(n, false);
            ++length;
            prev = n;
            n = size >= 6 ? getU16(b) : 0;
            reportProgress();
        }
        if (prev != h.lastBlock) note("the chain does not end at the header's last block");
        if (length != h.blocksInUse) note("the chain length disagrees with the header");
    }

    void markFreeList() {
        int n = out_.header.firstFreeBlock, steps = 0;
        while (n > 0 && n <= available_ && !seen_[std::size_t(n)] && steps++ < available_) {
            seen_[std::size_t(n)] = true;
            std::size_t size = 0;
            const std::uint8_t* b = block(n, size);
            const int ads = size >= 6 ? getS16(b + 4) : -out_.header.recordSize;
            if (ads != -out_.header.recordSize) {
                // A free block that holds records was lost from the chain:
                // read it like any stray block.
                seen_[std::size_t(n)] = false;
                break;
            }
            if (size < 2) break;  // a block cut short before its link
            n = getU16(b);
        }
    }

    void readStrayBlocks() {
        for (int n = 1; n <= available_; ++n) {
            if (seen_[std::size_t(n)]) continue;
            const std::size_t before = out_.rows.size();
            readRecords(n, true);
            if (out_.rows.size() > before)
                note("block " + std::to_string(n) + " with " +
                     std::to_string(out_.rows.size() - before) + " records was not in the chain");
            reportProgress();
        }
    }

    // Reads the records of block n; returns how many it holds.
    std::uint32_t readRecords(int n, bool stray) {
        const TableHeader& h = out_.header;
        std::size_t size = 0;
        std::uint8_t* b = block(n, size);
        if (size < 6) {
            note("block " + std::to_string(n) + " is cut short by the end of the file");
            return 0;
        }
        const int ads = getS16(b + 4);
        const int capacity = (h.blockSize - 6) / h.recordSize;
        int count = 0;
        bool countKnown = true;
        if (ads == -h.recordSize)
            count = 0;
        else if (ads >= 0 && ads % h.recordSize == 0 && ads / h.recordSize < capacity)
            count = ads / h.recordSize + 1;
        else {
            count = capacity;
            countKnown = false;
            note("block " + std::to_string(n) + " has an unreadable record count");
        }
        std::uint32_t found = 0;
        for (int i = 0; i < count; ++i) {
            const std::size_t start = 6 + std::size_t(i) * h.recordSize;
            if (start + h.recordSize > size) {
                note("block " + std::to_string(n) + " is cut short: " + std::to_string(count - i) +
                     " records lost");
                break;
            }
            std::uint8_t* rec = b + start;
            if ((stray || !countKnown) && allZero(rec, std::size_t(h.recordSize))) continue;
            SalvagedRow row = decode(rec, n, i);
            if (!countKnown) {
                row.unreadable = true;
                row.problem = "block " + std::to_string(n) + " record " + std::to_string(i + 1) +
                              ": the block's record count is unreadable" +
                              (row.problem.empty() ? "" : "; " + row.problem);
            }
            out_.rows.push_back(std::move(row));
            ++found;
        }
        return found;
    }

    // Checks the record in place (blanking what cannot be a value) and
    // collects its memo values.
    SalvagedRow decode(std::uint8_t* rec, int blockNo, int slot) {
        const TableHeader& h = out_.header;
        SalvagedRow row;
        row.block = blockNo;
        row.slot = slot;
        row.record = rec;
        row.firstMemo = out_.memos.size();
        std::vector<std::string> faults;
        for (const FieldInfo& f : h.fields) {
            std::uint8_t* p = rec + f.offset;
            const std::string fault = f.isMemo() ? readMemo(f, p) : checkField(f, p);
            if (fault.empty()) continue;
            faults.push_back("field " + f.name + ": " + fault);
            if (!f.isMemo()) row.unreadable = true;
        }
        for (const std::string& fault : faults)
            row.problem += (row.problem.empty() ? "" : "; ") + fault;
        if (!row.problem.empty())
            row.problem = "block " + std::to_string(blockNo) + " record " +
                          std::to_string(slot + 1) + ": " + row.problem;
        return row;
    }

    // Checks a non-memo field and blanks it when it cannot hold a value.
    std::string checkField(const FieldInfo& f, std::uint8_t* p) {
        const std::size_t n = std::size_t(f.length);
        std::string fault;
        switch (f.type) {
            case kAlpha: {
                // Every reader stops at the NUL: bytes after it are not part
                // of the value, so the rebuilt row keeps the text and drops
                // them (they would also make equal keys compare unequal).
                auto* end = static_cast<std::uint8_t*>(std::memchr(p, 0, n));
                if (end) std::fill(end, p + n, 0);
                break;
            }
            case kLogical:
                if (*p != 0 && *p != 0x80 && *p != 0x81) fault = "not a logical value";
                break;
            case kMoney:
            case kNumber:
            case kTimestamp: {
                const auto value = getSortableDouble(p);
                if (value && !std::isfinite(*value)) fault = "not a number";
                break;
            }
            case kBcd:
                if (!allZero(p, n) && (p[0] & 0x3F) != f.sizeByte) fault = "not a decimal number";
                break;
            case kAutoInc: {
                const auto value = getSortableInt(p, 4);
                if (value && *value > 0)
                    out_.largestAutoIncrement =
                        std::max(out_.largestAutoIncrement, std::uint32_t(*value));
                break;
            }
            default:
                break;
        }
        if (!fault.empty()) std::fill(p, p + n, 0);
        return fault;
    }

    // Reads a memo value into the row; an unreadable one keeps the leader
    // text for the problem table and is marked lost.
    std::string readMemo(const FieldInfo& f, const std::uint8_t* p) {
        const std::size_t leader = std::size_t(f.length) - 10;
        const std::uint32_t pointer = getU32(p + leader);
        const std::uint32_t length = getU32(p + leader + 4);
        const std::uint16_t modification = getU16(p + leader + 8);
        MemoValue value;
        std::string why;
        if (length <= leader) {
            value.text = {p, length};
        } else if (auto stored = out_.memo.read(pointer, length, modification, why)) {
            if (f.type == 0x0C && !std::equal(p, p + leader, stored->begin()))
                why = "its stored text disagrees with the record";
            else
                value.text = *stored;
        }
        value.lost = !why.empty();
        if (value.lost) {
            const auto* end = static_cast<const std::uint8_t*>(std::memchr(p, 0, leader));
            value.text = {p, end ? std::size_t(end - p) : leader};
        }
        out_.memos.push_back(value);
        return value.lost ? "memo text unreadable, " + why : std::string();
    }

    void reportProgress() {
        if (!progress_ || available_ == 0) return;
        const int percent = static_cast<int>(100.0 * ++visited_ / available_);
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            if (!progress_(std::min(percent, 100)))
                throw TableError(TU_ERR_ABORTED, "The rebuild of " + path_ + " was stopped");
        }
    }

    std::string path_;
    const ProgressFn& progress_;
    Salvage out_;
    int available_ = 0;
    std::vector<bool> seen_;
    std::uint32_t chainRecords_ = 0;
    int visited_ = 0;
    int lastPercent_ = -1;
};

}  // namespace

bool Salvage::damaged() const {
    return !notes.empty() || std::any_of(rows.begin(), rows.end(),
                                         [](const SalvagedRow& r) { return !r.problem.empty(); });
}

Salvage salvageTable(const std::string& dbPath, const std::string& mbPath,
                     const ProgressFn& progress) {
    return Salvager(dbPath, mbPath, progress).run();
}

bool keyLess(const TableHeader& header, const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, std::size_t(header.keySize())) < 0;
}

bool keyEqual(const TableHeader& header, const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, std::size_t(header.keySize())) == 0;
}

}  // namespace tutil
