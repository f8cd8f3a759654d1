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
#include <array>
#include <cstring>
#include <memory>

#include "platform/paradox/codepage.h"
#include "platform/paradox/coding.h"
#include "platform/paradox/header.h"
#include "platform/paradox/record.h"
#include "platform/tutil/tutil.h"

namespace tutil {

using namespace paradox::coding;

namespace {

// A word at a time: every text field of every record ends here, most with
// only a few bytes after the value.
bool allZero(const std::uint8_t* p, std::size_t n) {
    std::uint64_t any = 0;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        any |= word;
    }
    for (; n > 0; --n) any |= *p++;
    return any == 0;
}

// Records are judged by the engine's own codec: a row the engine reads is a
// row the rebuild keeps.
std::unique_ptr<paradox::RecordCodec> codecFor(const TableHeader& h, const std::string& path) {
    return paradox::RecordCodec::forHeader(h.file, path);
}

// Control characters (C0 other than tab and line breaks, DEL, C1) are what
// the code page leaves undefined or what no one types: a text holding one is
// garbage, not a value.
bool holdsControlCharacter(const std::string& utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) return true;
        if (b == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(utf8[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

// Which of `keys` lie on some longest run of strictly rising keys.  A
// record on none breaks the key order of its block; when two records could
// each be the one out of order, both stay.
std::vector<bool> inKeyOrder(const std::vector<const std::uint8_t*>& keys,
                             const paradox::RecordCodec& codec) {
    const std::size_t n = keys.size();
    auto less = [&](std::size_t a, std::size_t b) {
        return codec.compareKeys(keys[a], keys[b], codec.keyFields()) < 0;
    };
    // The common case: the whole block is the one run.
    std::size_t rising = 1;
    while (rising < n && less(rising - 1, rising)) ++rising;
    if (rising >= n) return std::vector<bool>(n, true);
    std::vector<int> upTo(n, 1), from(n, 1);  // longest runs ending / starting here
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (less(j, i)) upTo[i] = std::max(upTo[i], upTo[j] + 1);
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = i + 1; j < n; ++j)
            if (less(i, j)) from[i] = std::max(from[i], from[j] + 1);
    const int longest = n ? *std::max_element(upTo.begin(), upTo.end()) : 0;
    std::vector<bool> onARun(n);
    for (std::size_t i = 0; i < n; ++i) onARun[i] = upTo[i] + from[i] - 1 == longest;
    return onARun;
}

class Salvager {
public:
    Salvager(const std::string& dbPath, const std::string& mbPath, const ProgressFn& progress,
             const KnownStructure* known, const BlockRowsFn& onBlockRows)
        : path_(dbPath), progress_(progress), onBlockRows_(onBlockRows) {
        if (!out_.db.read(dbPath))
            throw TableError(TU_ERR_NOTFOUND, "Table " + dbPath + " cannot be opened");
        out_.header = parseHeader(out_.db.bytes(), dbPath, known);
        out_.memo = MemoReader(mbPath);
        const TableHeader& h = out_.header;
        codec_ = codecFor(h, dbPath);
        for (int b = 1; b < 256; ++b) {
            const auto byte = static_cast<std::uint8_t>(b);
            controlCharacter_[byte] = holdsControlCharacter(codec_->codePage().toUtf8(&byte, 1));
        }
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

    const std::uint8_t* block(int n, std::size_t& length) const {
        const TableHeader& h = out_.header;
        const std::size_t start = std::size_t(h.headerSize) + std::size_t(n - 1) * h.blockSize;
        length = std::min<std::size_t>(h.blockSize, out_.db.size() - start);
        out_.db.prefetch(start, length);
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
        const std::uint8_t* b = block(n, size);
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
        const std::size_t first = out_.rows.size();
        for (int i = 0; i < count; ++i) {
            const std::size_t start = 6 + std::size_t(i) * h.recordSize;
            if (start + h.recordSize > size) {
                note("block " + std::to_string(n) + " is cut short: " + std::to_string(count - i) +
                     " records lost");
                break;
            }
            const std::uint8_t* rec = b + start;
            // Slack is wiped, so with an unreadable count the records are
            // the slots that hold anything.
            if ((stray || !countKnown) && allZero(rec, std::size_t(h.recordSize))) continue;
            out_.rows.push_back(decode(rec, n, i));
            ++found;
        }
        checkKeyOrder(first);
        followKeyOrder(first);
        if (onBlockRows_) onBlockRows_(out_, first);
        releaseNowAndThen();
        return found;
    }

    // A pass holds at most this many bytes of blocks read.
    void releaseNowAndThen() {
        constexpr std::size_t kResidentBytes = std::size_t{1} << 20;
        sinceRelease_ += std::size_t(out_.header.blockSize);
        if (sinceRelease_ < kResidentBytes) return;
        sinceRelease_ = 0;
        out_.releaseResident();
    }

    // Whether the readable rows, in the order found, rise in key order (a
    // healthy chain's do, and the rebuild need not sort them), and which
    // repeat the key of the one before them.  Compared while the records
    // are at hand.
    void followKeyOrder(std::size_t first) {
        const TableHeader& h = out_.header;
        if (h.keyFieldCount == 0) return;
        for (std::size_t i = first; i < out_.rows.size(); ++i) {
            SalvagedRow& row = out_.rows[i];
            if (row.unreadable) continue;
            if (lastKey_) {
                const int order = std::memcmp(row.record, lastKey_, std::size_t(h.keySize()));
                if (order < 0) out_.inKeyOrder = false;  // as keyLess compares
                row.repeatsKey = order == 0;
            }
            lastKey_ = row.record;
        }
    }

    // A keyed table's records rise in key order through each block: those
    // that break the order hold a damaged key (or are garbage).
    void checkKeyOrder(std::size_t first) {
        if (out_.header.keyFieldCount == 0) return;
        std::vector<SalvagedRow*> rows;
        std::vector<const std::uint8_t*> keys;
        for (std::size_t i = first; i < out_.rows.size(); ++i)
            if (!out_.rows[i].unreadable) {
                rows.push_back(&out_.rows[i]);
                keys.push_back(out_.rows[i].record);
            }
        const std::vector<bool> keep = inKeyOrder(keys, *codec_);
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!keep[i]) fail(*rows[i], "its key breaks the key order of its block");
    }

    void fail(SalvagedRow& row, const std::string& why) {
        row.unreadable = true;
        if (!row.intact()) {
            out_.problems[row.problem - 1] += "; " + why;
            return;
        }
        addProblem(row, "block " + std::to_string(row.block) + " record " +
                            std::to_string(row.slot + 1) + ": " + why);
    }

    void addProblem(SalvagedRow& row, std::string text) {
        out_.problems.push_back(std::move(text));
        row.problem = static_cast<std::uint32_t>(out_.problems.size());
    }

    // Reads the record's memo values and judges the record by what the
    // engine reads from it; only garbage (a text no one could have typed, an
    // auto-increment value the engine never gives) makes it unreadable.
    SalvagedRow decode(const std::uint8_t* read, int blockNo, int slot) {
        const TableHeader& h = out_.header;
        const RecordScan scan = scanRecord(read);
        const std::uint8_t* rec = scan.strayBytes ? cleanedCopy(read) : read;
        SalvagedRow row;
        row.block = blockNo;
        row.slot = static_cast<std::uint16_t>(slot);
        row.record = rec;
        std::string problem;
        const auto fault = [&problem](const std::string& what) {
            problem += (problem.empty() ? "" : "; ") + what;
        };
        for (const FieldInfo& f : h.fields) {
            const std::uint8_t* p = rec + f.offset;
            if (f.isMemo()) {
                if (std::string why = readMemo(f, p); !why.empty())
                    fault("field " + f.name + ": " + why);
            } else if (f.type == kAutoInc) {
                noteAutoIncrement(p);
            }
        }
        if (!scan.garbage.empty()) {
            row.unreadable = true;
            fault(scan.garbage);
        }
        if (!problem.empty())
            addProblem(row, "block " + std::to_string(blockNo) + " record " +
                                std::to_string(slot + 1) + ": " + problem);
        return row;
    }

    // What one pass over a record's fields finds: whether it holds bytes
    // outside the values the engine reads, and whether the engine reads
    // values from it at all (memo values aside): empty when it does, else why
    // it is garbage (a text no one could have typed, an auto-increment value
    // the engine never gives).  Judged on the stored bytes: the code page
    // maps each byte to one character.
    struct RecordScan {
        bool strayBytes = false;
        std::string garbage;
    };

    RecordScan scanRecord(const std::uint8_t* rec) const {
        RecordScan scan;
        for (const paradox::FieldLayout& f : codec_->fields()) {
            const std::uint8_t* p = rec + f.offset;
            switch (f.type) {
                case paradox::FieldType::Alpha: {
                    bool control = false;
                    int i = 0;
                    for (; i < f.bytes && p[i] != 0; ++i) control |= controlCharacter_[p[i]];
                    if (control && scan.garbage.empty())
                        scan.garbage =
                            "field " + f.name + ": its text holds bytes outside the code page";
                    if (i < f.bytes && !allZero(p + i + 1, std::size_t(f.bytes - i - 1)))
                        scan.strayBytes = true;
                    break;
                }
                case paradox::FieldType::Logical:
                    if (*p != 0 && *p != 0x80 && *p != 0x81) scan.strayBytes = true;
                    break;
                case paradox::FieldType::AutoInc: {
                    const auto value = getSortableInt(p, 4);
                    if ((!value || *value <= 0) && scan.garbage.empty())
                        scan.garbage = "field " + f.name + ": not an auto-increment value";
                    break;
                }
                default:
                    break;
            }
        }
        return scan;
    }

    // Bytes that are not part of the value the engine reads are written as
    // every reader expects them, in a copy: the file's bytes are only read.
    const std::uint8_t* cleanedCopy(const std::uint8_t* rec) {
        auto& copy = out_.cleanedRecords.emplace_back(rec, rec + out_.header.recordSize);
        for (const FieldInfo& f : out_.header.fields) clean(f, copy.data() + f.offset);
        return copy.data();
    }

    static void clean(const FieldInfo& f, std::uint8_t* p) {
        switch (f.type) {
            case kAlpha: {
                // Every reader stops at the NUL: bytes after it would also
                // make equal keys compare unequal.
                auto* end = static_cast<std::uint8_t*>(std::memchr(p, 0, std::size_t(f.length)));
                if (end) std::fill(end, p + f.length, 0);
                break;
            }
            case kLogical:
                if (*p != 0 && *p != 0x80) *p = 0x81;  // the engine reads true
                break;
            default:
                break;
        }
    }

    void noteAutoIncrement(const std::uint8_t* p) {
        const auto value = getSortableInt(p, 4);
        if (value && *value > 0)
            out_.largestAutoIncrement = std::max(out_.largestAutoIncrement, std::uint32_t(*value));
    }

    // Reads a memo value into the row; an unreadable one keeps the leader
    // text for the problem table and is marked lost.
    std::string readMemo(const FieldInfo& f, const std::uint8_t* p) {
        const std::size_t leader = std::size_t(f.length) - 10;
        const std::uint32_t pointer = getU32(p + leader);
        const std::uint32_t length = getU32(p + leader + 4);
        MemoValue value;
        std::string why;
        if (length <= leader) {
            value = MemoValue({p, length});
        } else if (auto stored = out_.memo.read(pointer, length, why)) {
            // The stored text is the value, as the engine reads it; the
            // leader is rewritten from it.
            value = MemoValue(*stored);
        }
        if (!why.empty()) {
            const auto* end = static_cast<const std::uint8_t*>(std::memchr(p, 0, leader));
            value = MemoValue({p, end ? std::size_t(end - p) : leader}, true);
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
    const BlockRowsFn& onBlockRows_;
    Salvage out_;
    std::unique_ptr<paradox::RecordCodec> codec_;
    std::array<bool, 256> controlCharacter_{};  // the bytes that read as one
    int available_ = 0;
    std::vector<bool> seen_;
    std::uint32_t chainRecords_ = 0;
    int visited_ = 0;
    int lastPercent_ = -1;
    std::size_t sinceRelease_ = 0;
    const std::uint8_t* lastKey_ = nullptr;
};

}  // namespace

bool Salvage::damaged() const { return !notes.empty() || !problems.empty(); }

Salvage salvageTable(const std::string& dbPath, const std::string& mbPath,
                     const ProgressFn& progress, const KnownStructure* known,
                     const BlockRowsFn& onBlockRows) {
    return Salvager(dbPath, mbPath, progress, known, onBlockRows).run();
}

bool keyLess(const TableHeader& header, const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, std::size_t(header.keySize())) < 0;
}

bool keyEqual(const TableHeader& header, const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, std::size_t(header.keySize())) == 0;
}

}  // namespace tutil
