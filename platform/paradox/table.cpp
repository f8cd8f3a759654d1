// The public Table handle and the table-level file operations (create,
// exists, remove).  Handles share one TableFile per table file.

#include "platform/paradox/table.h"

#include <strings.h>
#include <unistd.h>

#include <set>

#include "platform/paradox/codepage.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/header.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/memo_file.h"
#include "platform/paradox/primary_index.h"
#include "platform/paradox/table_file.h"

namespace paradox {

namespace {

FieldDesc descOf(const FieldDef& f, const std::string& dbPath) {
    auto bad = [&](const std::string& what) -> FieldDesc {
        throw EDatabaseError("Cannot create table " + dbPath + ": field " + f.name + " " + what);
    };
    if (!isWritableType(f.type)) return bad("has a type this program cannot write");
    FieldDesc d;
    d.code = codeOfFieldType(f.type);
    switch (f.type) {
        case FieldType::Alpha:
        case FieldType::Bytes:
            if (f.size < 1 || f.size > 255) return bad("must hold 1 to 255 characters");
            d.size = static_cast<std::uint8_t>(f.size);
            break;
        case FieldType::Memo:
            if (f.size < 1 || f.size > 240)
                return bad("must hold 1 to 240 characters in the record");
            d.size = static_cast<std::uint8_t>(f.size + 10);
            break;
        case FieldType::Short:
            d.size = 2;
            break;
        case FieldType::Logical:
            d.size = 1;
            break;
        case FieldType::Money:
        case FieldType::Number:
        case FieldType::Timestamp:
            d.size = 8;
            break;
        default:
            d.size = 4;
            break;
    }
    return d;
}

bool holdsOneRecord(int code, int recordSize) { return recordSize + 6 <= code * 1024; }

// Default block size: at least 8 records per block (a key at most a third
// of it); 1 KiB blocks only on request.
std::uint8_t defaultBlockCode(int recordSize, int keySize) {
    for (std::uint8_t code : {2, 4, 16, 32}) {
        const int size = code * 1024;
        if ((size - 6) / recordSize >= 8 && 3 * keySize <= size) return code;
    }
    for (std::uint8_t code : {2, 4, 16, 32})
        if (holdsOneRecord(code, recordSize)) return code;
    return 0;
}

std::uint8_t dataBlockCode(const std::string& dbPath, int recordSize, int keySize,
                           const TableLayout& layout) {
    if (layout.blockSizeKiB != 0) {
        for (int code : kBlockSizesKiB)
            if (code == layout.blockSizeKiB && holdsOneRecord(code, recordSize))
                return static_cast<std::uint8_t>(code);
        throw EDatabaseError("Cannot create table " + dbPath + ": blocks of " +
                             std::to_string(layout.blockSizeKiB) +
                             " KiB are not a size the format allows for its records");
    }
    const std::uint8_t least = defaultBlockCode(recordSize, keySize);
    for (int code : kBlockSizesKiB) {
        const std::size_t perBlock = std::size_t(code * 1024 - 6) / std::size_t(recordSize);
        if (code >= least && perBlock * Table::kMaxBlocks >= layout.roomForRows)
            return static_cast<std::uint8_t>(code);
    }
    throw EDatabaseError("Cannot create table " + dbPath + ": no block size holds " +
                         std::to_string(layout.roomForRows) + " rows");
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void writeNewFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FileHandle f = FileHandle::createNew(path);
    f.writeAt(0, bytes.data(), bytes.size());
    f.sync();
}

}  // namespace

int TableSchema::fieldIndex(const std::string& name) const {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (::strcasecmp(fields[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

void Table::create(const std::string& dbPath, const TableSchema& schema,
                   const TableLayout& layout) {
    const std::string pxPath = withExtension(dbPath, ".px");
    const std::string mbPath = withExtension(dbPath, ".mb");
    for (const std::string& p : {dbPath, pxPath, mbPath})
        if (!findCaseInsensitive(p).empty())
            throw EDatabaseError("Cannot create table " + dbPath + ": " + p + " already exists");
    const int n = static_cast<int>(schema.fields.size());
    if (n < 1 || n > 255)
        throw EDatabaseError("Cannot create table " + dbPath + ": it needs 1 to 255 fields");
    if (schema.keyFieldCount < 0 || schema.keyFieldCount > n)
        throw EDatabaseError("Cannot create table " + dbPath +
                             ": the key has more fields than the table");

    FileHeader h;
    h.fileType = schema.keyFieldCount > 0 ? 0 : 2;
    h.keyFields = static_cast<std::uint16_t>(schema.keyFieldCount);
    h.sortOrder = kSortDbWinUs;
    h.sortOrderName = kSortDbWinUsName;
    h.codePage = 1252;
    h.version = 12;
    int recordSize = 0, keySize = 0;
    bool hasMemo = false;
    std::set<std::string> names;
    for (int i = 0; i < n; ++i) {
        const FieldDef& f = schema.fields[i];
        std::string name, bad;
        if (f.name.empty() || !CodePage::windows1252().fromUtf8(f.name, name, bad) ||
            name.size() > 25 || !names.insert(std::string(name.size(), ' ') + f.name).second ||
            schema.fieldIndex(f.name) != i)
            throw EDatabaseError(
                "Cannot create table " + dbPath + ": field name \"" + f.name +
                "\" is empty, repeated, too long or holds an unsupported character");
        const FieldDesc d = descOf(f, dbPath);
        if (i < schema.keyFieldCount && f.type == FieldType::Memo)
            throw EDatabaseError("Cannot create table " + dbPath + ": memo field " + f.name +
                                 " cannot be part of the key");
        hasMemo |= f.type == FieldType::Memo;
        recordSize += recordBytes(d);
        if (i < schema.keyFieldCount) keySize += recordBytes(d);
        h.fields.push_back(d);
        h.fieldNames.push_back(name);
    }
    h.recordSize = static_cast<std::uint16_t>(recordSize);
    if (defaultBlockCode(recordSize, keySize) == 0)
        throw EDatabaseError("Cannot create table " + dbPath + ": its records are too long");
    h.blockCode = dataBlockCode(dbPath, recordSize, keySize, layout);
    const std::string tableName = baseName(dbPath);

    if (h.keyFields > 0) {
        FileHeader px;
        px.fileType = 1;
        px.recordSize = static_cast<std::uint16_t>(keySize + 6);
        px.blockCode = PrimaryIndex::blockCodeFor(keySize);
        px.sortOrder = h.sortOrder;
        px.fields.assign(h.fields.begin(), h.fields.begin() + h.keyFields);
        writeNewFile(pxPath, buildHeader(px, FileKind::PrimaryIndex, tableName));
    }
    if (hasMemo) writeNewFile(mbPath, MemoFile::emptyFile());
    writeNewFile(dbPath, buildHeader(h, FileKind::Data, tableName));
    syncDirectory(directoryOf(dbPath));
}

bool Table::exists(const std::string& dbPath) { return !findCaseInsensitive(dbPath).empty(); }

void Table::remove(const std::string& dbPath) {
    const std::string db = findCaseInsensitive(dbPath);
    if (db.empty()) throw EDatabaseError("Table " + dbPath + " does not exist");
    if (TableFile::isOpenInProcess(db))
        throw EDatabaseError("Table " + dbPath + " is open and cannot be deleted");
    bool writable = false;
    const FileHandle probe = FileHandle::openExisting(db, writable);
    if (!probe.tryLockExclusive())
        throw ETableInUse("Table " + dbPath + " is in use by another program");
    for (const char* ext : {".px", ".mb"}) {
        const std::string companion = findCaseInsensitive(withExtension(db, ext));
        if (!companion.empty() && ::unlink(companion.c_str()) != 0)
            throwSystemError("delete", companion, errno);
    }
    ::unlink(Journal::pathFor(db).c_str());
    if (::unlink(db.c_str()) != 0) throwSystemError("delete", db, errno);
}

std::shared_ptr<Table> Table::open(const std::string& dbPath) {
    return std::shared_ptr<Table>(new Table(TableFile::acquire(dbPath)));
}

Table::Table(std::shared_ptr<TableFile> file) : file_(std::move(file)) {}
Table::~Table() = default;

const std::string& Table::path() const { return file_->path(); }
const TableSchema& Table::schema() const { return file_->schema(); }
bool Table::writable() const { return file_->writable(); }
int Table::blockSizeKiB() const { return file_->header().blockCode; }
std::size_t Table::usedBlocks() const { return file_->header().blocksInUse; }
std::string Table::readOnlyReason() const { return file_->readOnlyReason(); }
std::size_t Table::rowCount() const { return file_->rowCount(); }
const Row& Table::row(std::size_t position) const { return file_->row(position); }
std::uint64_t Table::changeCount() const { return file_->changeCount(); }
std::size_t Table::lowerBound(const std::vector<Value>& key) const {
    return file_->lowerBound(key);
}
std::size_t Table::upperBound(const std::vector<Value>& key) const {
    return file_->upperBound(key);
}
std::size_t Table::find(const std::vector<Value>& key) const { return file_->find(key); }
std::size_t Table::insert(const Row& row) { return file_->insert(row); }
std::size_t Table::update(std::size_t position, Row row) {
    return file_->update(position, std::move(row));
}
void Table::erase(std::size_t position) { file_->erase(position); }
void Table::saveChanges() { file_->saveChanges(); }
std::int32_t Table::lastAutoIncrement() const { return file_->lastAutoIncrement(); }
void Table::beginBatch() { file_->beginBatch(); }
void Table::commitBatch() { file_->commitBatch(); }

}  // namespace paradox
