// Reading what can still be read from a damaged table, for the rebuild
// utility.  Nothing here writes: the table's files are only read.
//
// Steps:
//  1. Parse the header tolerantly (the file size may disagree with it).
//  2. Attach the .mb if it exists and its header is sound.
//  3. Follow the block chain from the first block while each link stays
//     inside the file, visits a new block and the block's record count is
//     valid; take the records of every block reached.
//  4. Walk the free list the same way, to know which blocks hold only
//     deleted records.
//  5. Take the records of every remaining block with a valid record count:
//     blocks cut off from the chain by a broken link.
//  6. Decode each record; when a memo cannot be read, decode it again with
//     the memo blank and report the row.

#include <memory>
#include <vector>

#include "platform/paradox/codepage.h"
#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/header.h"
#include "platform/paradox/memo_file.h"
#include "platform/paradox/paged_file.h"
#include "platform/paradox/record.h"
#include "platform/paradox/table_file.h"

namespace paradox {

namespace {

struct Salvage {
    const std::vector<std::uint8_t>& data;
    const FileHeader& header;
    std::size_t available;  // whole blocks present in the file
    std::vector<bool> seen;

    // Records of `block` (0 when its count is invalid).
    std::size_t count(std::uint16_t block) const {
        const int ads = coding::getS16(data.data() + header.blockOffset(block) + 4);
        const int rs = header.recordSize;
        if (ads < 0 || ads % rs != 0 || 6 + static_cast<std::size_t>(ads) + rs > header.blockSize())
            return 0;
        return static_cast<std::size_t>(ads / rs + 1);
    }
    std::uint16_t next(std::uint16_t block) const {
        return coding::getU16(data.data() + header.blockOffset(block));
    }
    bool usable(std::uint16_t block) const {
        return block >= 1 && block <= available && !seen[block];
    }
};

void decodeLeniently(const RecordCodec& codec, const MemoFile* memo, const std::uint8_t* record,
                     Row& row, std::size_t index, std::vector<std::string>& problems) {
    try {
        codec.decode(record, memo, row);
        return;
    } catch (const EDatabaseError&) {
    }
    std::vector<std::uint8_t> copy(record, record + codec.recordSize());
    for (const auto& f : codec.fields()) {
        const bool blob = f.type == FieldType::Memo || f.type == FieldType::Blob ||
                          f.type == FieldType::FmtMemo || f.type == FieldType::Ole ||
                          f.type == FieldType::Graphic;
        if (!blob) continue;
        const MemoRef ref = RecordCodec::getMemoTail(copy.data(), f);
        bool readable = ref.length <= static_cast<std::uint32_t>(f.leader);
        if (!readable && memo) {
            try {
                memo->read(ref);
                readable = true;
            } catch (const EDatabaseError&) {
            }
        }
        if (!readable) RecordCodec::putMemoTail(copy.data(), f, MemoRef{});
    }
    problems.push_back("row " + std::to_string(index + 1) +
                       ": a memo could not be read and is left blank");
    codec.decode(copy.data(), memo, row);
}

}  // namespace

std::vector<Row> Table::readRecoverableRows(const std::string& dbPath,
                                            std::vector<std::string>& problems,
                                            TableSchema* schema) {
    const std::string path = findCaseInsensitive(dbPath);
    if (path.empty()) throw EDatabaseError("Table " + dbPath + " does not exist");
    if (TableFile::isOpenInProcess(path)) throw EDatabaseError("Table " + dbPath + " is open");
    bool writable = false;
    const FileHandle file = FileHandle::openExisting(path, writable);
    if (!file.tryLockExclusive())
        throw ETableInUse("Table " + dbPath + " is in use by another program");
    const std::vector<std::uint8_t> data = file.readAll();
    const FileHeader header = parseHeader(data.data(), data.size(), path, FileKind::Data, true);
    const CodePage* page = CodePage::find(header.codePage);
    const RecordCodec codec(header, page ? *page : CodePage::windows1252(), true, path);
    if (schema) *schema = codec.schema();

    std::unique_ptr<PagedFile> mbFile;
    std::unique_ptr<MemoFile> memo;
    if (codec.hasMemoFields()) {
        const std::string mb = findCaseInsensitive(withExtension(path, ".mb"));
        try {
            if (mb.empty()) throw EDatabaseError("missing");
            bool w = false;
            mbFile = std::make_unique<PagedFile>(FileHandle::openExisting(mb, w), false);
            memo = std::make_unique<MemoFile>(*mbFile, false);
        } catch (const EDatabaseError&) {
            problems.push_back(
                "the memo file is missing or damaged: memos longer than their leader are lost");
        }
    }

    Salvage s{data, header, (data.size() - header.headerSize) / header.blockSize(), {}};
    s.seen.assign(s.available + 1, false);
    std::vector<std::uint16_t> order;
    std::uint16_t block = header.firstBlock;
    for (; s.usable(block); block = s.next(block)) {
        s.seen[block] = true;
        order.push_back(block);
    }
    if (block != 0)
        problems.push_back("the block chain breaks after " + std::to_string(order.size()) +
                           " blocks");
    for (std::uint16_t free = header.firstFreeBlock; s.usable(free); free = s.next(free))
        s.seen[free] = true;
    for (std::uint16_t b = 1; b <= s.available; ++b)
        if (!s.seen[b] && s.count(b) > 0) {
            order.push_back(b);
            problems.push_back("block " + std::to_string(b) +
                               " is not on the chain; its records were kept");
        }

    std::vector<Row> rows;
    for (std::uint16_t b : order) {
        const std::size_t n = s.count(b);
        if (n == 0 && coding::getS16(data.data() + header.blockOffset(b) + 4) != -header.recordSize)
            problems.push_back("block " + std::to_string(b) +
                               " has an invalid record count; it was skipped");
        const std::uint8_t* p = data.data() + header.blockOffset(b) + 6;
        for (std::size_t i = 0; i < n; ++i, p += header.recordSize) {
            rows.emplace_back();
            decodeLeniently(codec, memo.get(), p, rows.back(), rows.size() - 1, problems);
        }
    }
    return rows;
}

}  // namespace paradox
