#include "store/book_extras.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>

#include "platform/base/exception.h"
#include "platform/db/session.h"
#include "platform/paradox/file_io.h"
#include "store/collection.h"
#include "store/extras_checks.h"
#include "store/table_room.h"

namespace store {

namespace {

enum Column { ENTRY, COMIC_NO, EDITION, GRADE, GRADER, CERT, BOUGHT, SOURCE, UPC, COVER };
constexpr int kDayNumberToJulianDay = 1721425;  // day 1 is 0001-01-01
constexpr int kThumbnailCacheKiB = 32 * 1024;
constexpr const char* kMarker = "extras.changing";

paradox::Value textValue(const QString& text) {
    return text.isEmpty() ? paradox::Value::null() : paradox::Value::text(text.toStdString());
}

QString textOf(const paradox::Value& value) {
    return value.isText() ? QString::fromStdString(value.asText()) : QString();
}

[[noreturn]] void fileFailure(const QString& what, const QString& path, int error) {
    throw ECoverError(QStringLiteral("Cannot %1 %2: %3")
                          .arg(what, path, QString::fromLocal8Bit(std::strerror(error)))
                          .toStdString());
}

void syncDirectory(const QString& path) {
    paradox::syncDirectory(QFile::encodeName(path).toStdString());
}

// Writes `bytes` to a new file at `path` and makes them reach the disk.
void writeDurably(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fileFailure(QStringLiteral("create"), path, errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) {
            const int error = errno;
            ::close(fd);
            fileFailure(QStringLiteral("write"), path, error);
        }
        done += put;
    }
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!synced) fileFailure(QStringLiteral("write"), path, error);
}

void renameFile(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fileFailure(QStringLiteral("rename %1 to").arg(from), to, errno);
}

}  // namespace

paradox::TableSchema ExtrasSchema() {
    using T = paradox::FieldType;
    paradox::TableSchema schema;
    schema.fields = {
        {"ENTRY", T::Long, 0},     {"COMIC_NO", T::Alpha, kComicNoWidth},
        {"EDITION", T::Alpha, 10}, {"GRADE", T::Alpha, 4},
        {"GRADER", T::Alpha, 20},  {"CERT", T::Alpha, 20},
        {"BOUGHT", T::Date, 0},    {"SOURCE", T::Memo, 20},
        {"UPC", T::Alpha, 17},     {"COVER", T::Alpha, 120},
    };
    schema.keyFieldCount = 3;
    return schema;
}

std::vector<paradox::Value> BookKey::values() const {
    return {paradox::Value::integer(entry), textValue(comicNo), textValue(edition)};
}

BookKey BookKey::OfRow(const paradox::Row& row) {
    return {static_cast<int>(row[ENTRY].isInt() ? row[ENTRY].asInt() : 0), textOf(row[COMIC_NO]),
            textOf(row[EDITION])};
}

BookExtrasStore::BookExtrasStore(QString directory)
    : directory_(std::move(directory)), thumbnails_(kThumbnailCacheKiB) {}

BookExtrasStore::~BookExtrasStore() = default;

QString BookExtrasStore::tablePath() const {
    return TSession::TablePath(directory_, QString::fromLatin1(kExtrasTable));
}

QString BookExtrasStore::coversDirectory() const {
    return QDir(directory_).filePath(QString::fromLatin1(kCoversFolder));
}

QString BookExtrasStore::markerPath() const {
    return QDir(directory_).filePath(QString::fromLatin1(kMarker));
}

bool BookExtrasStore::tableExists() const {
    return extras_ || paradox::Table::exists(tablePath().toStdString());
}

paradox::Table* BookExtrasStore::extras() const {
    if (!extras_ && paradox::Table::exists(tablePath().toStdString()))
        extras_ = paradox::Table::open(tablePath().toStdString());
    return extras_.get();
}

paradox::Table& BookExtrasStore::extrasCreated() {
    if (!extras()) {
        paradox::TableLayout room;
        room.roomForRows = kBooksRoom;  // one row per book at most
        paradox::Table::create(tablePath().toStdString(), ExtrasSchema(), room);
    }
    return *extras();
}

bool BookExtrasStore::bookExists(const BookKey& key) const {
    if (!books_)
        books_ = paradox::Table::open(
            TSession::TablePath(directory_, QString::fromLatin1(kBooksTable)).toStdString());
    return books_->find(key.values()) != paradox::Table::npos;
}

std::size_t BookExtrasStore::findRow(const BookKey& key) const {
    paradox::Table* table = extras();
    return table ? table->find(key.values()) : paradox::Table::npos;
}

BookExtras BookExtrasStore::read(const BookKey& key) const {
    const std::size_t at = findRow(key);
    if (at == paradox::Table::npos) return {};
    const paradox::Row& row = extras_->row(at);
    BookExtras extras;
    extras.grade = textOf(row[GRADE]);
    extras.grader = textOf(row[GRADER]);
    extras.certificate = textOf(row[CERT]);
    if (row[BOUGHT].isInt() && row[BOUGHT].asInt() > 0)
        extras.bought = QDate::fromJulianDay(row[BOUGHT].asInt() + kDayNumberToJulianDay);
    extras.source = textOf(row[SOURCE]);
    extras.upc = textOf(row[UPC]);
    extras.cover = textOf(row[COVER]);
    return extras;
}

paradox::Row BookExtrasStore::rowOf(const BookKey& key, const BookExtras& extras) const {
    paradox::Row row = key.values();
    row.push_back(textValue(extras.grade));
    row.push_back(textValue(extras.grader));
    row.push_back(textValue(extras.certificate));
    row.push_back(extras.bought.isValid()
                      ? paradox::Value::integer(extras.bought.toJulianDay() - kDayNumberToJulianDay)
                      : paradox::Value::null());
    row.push_back(textValue(extras.source));
    row.push_back(textValue(extras.upc));
    row.push_back(textValue(extras.cover));
    return row;
}

void BookExtrasStore::storeRow(const BookKey& key, const BookExtras& extras) {
    paradox::Table& table = extrasCreated();
    const std::size_t at = table.find(key.values());
    if (at == paradox::Table::npos)
        table.insert(rowOf(key, extras));
    else
        table.update(at, rowOf(key, extras));
    table.saveChanges();
}

void BookExtrasStore::eraseRow(const BookKey& key) {
    const std::size_t at = findRow(key);
    if (at == paradox::Table::npos) return;
    extras_->erase(at);
    extras_->saveChanges();
}

void BookExtrasStore::beginChange() {
    if (inBookChange_) return;
    const int fd =
        ::open(QFile::encodeName(markerPath()).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) fileFailure(QStringLiteral("create"), markerPath(), errno);
    ::close(fd);
    syncDirectory(directory_);
}

// Once the change is whole, a lost removal of the marker costs one tidy
// more: no sync is needed.
void BookExtrasStore::endChange() {
    if (!inBookChange_) QFile::remove(markerPath());
}

void BookExtrasStore::write(const BookKey& key, const BookExtras& extras) {
    const BookExtras stored = read(key);
    BookExtras wanted = extras;
    wanted.cover = stored.cover;
    if (wanted == stored) return;
    if (wanted.isEmpty())
        eraseRow(key);
    else
        storeRow(key, wanted);
}

std::vector<BookKey> BookExtrasStore::findByUpc(const QString& typed) const {
    const QString digits = CheckUpc(typed).digits;
    std::vector<BookKey> exact, sameCode;
    paradox::Table* table = extras();
    if (!table || digits.size() < 12) return {};
    for (std::size_t i = 0; i < table->rowCount(); ++i) {
        const QString stored = textOf(table->row(i)[UPC]);
        if (stored == digits)
            exact.push_back(BookKey::OfRow(table->row(i)));
        else if (stored.left(12) == digits.left(12))
            sameCode.push_back(BookKey::OfRow(table->row(i)));
    }
    return exact.empty() ? sameCode : exact;
}

void BookExtrasStore::erase(const BookKey& key) {
    if (findRow(key) == paradox::Table::npos) return;
    const QString cover = read(key).cover;
    beginChange();
    eraseRow(key);
    if (!cover.isEmpty()) deleteCoverFile(cover);
    endChange();
}

QString BookExtrasStore::writeCoverFile(const BookKey& key, const CoverImage& image) {
    const QString name = CoverFileName(key, image.suffix);
    const QDir covers(coversDirectory());
    if (!QDir().mkpath(covers.path()))
        fileFailure(QStringLiteral("create the folder"), covers.path(), errno);
    // Written aside and renamed: a kill leaves the old cover or the new one.
    const QString part = covers.filePath(QStringLiteral(".") + name + QStringLiteral(".part"));
    writeDurably(part, image.bytes);
    renameFile(part, covers.filePath(name));
    syncDirectory(covers.path());
    return name;
}

QString BookExtrasStore::copyCoverFile(const QString& fileName, const BookKey& to) {
    const QString name = CoverFileName(to, QFileInfo(fileName).suffix());
    if (name == fileName) return name;
    const QDir covers(coversDirectory());
    const QString from = covers.filePath(fileName);
    const QString part = covers.filePath(QStringLiteral(".") + name + QStringLiteral(".part"));
    QFile::remove(part);
    // A second name for the same bytes; a copy where links are not allowed.
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(part).constData()) != 0) {
        QFile source(from);
        if (!source.open(QIODevice::ReadOnly)) fileFailure(QStringLiteral("read"), from, errno);
        writeDurably(part, source.readAll());
    }
    renameFile(part, covers.filePath(name));
    syncDirectory(covers.path());
    return name;
}

void BookExtrasStore::deleteCoverFile(const QString& fileName) {
    const QString path = QDir(coversDirectory()).filePath(fileName);
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        fileFailure(QStringLiteral("delete"), path, errno);
    syncDirectory(coversDirectory());
}

void BookExtrasStore::moveToOrphaned(const QString& fileName) {
    const QDir covers(coversDirectory());
    const QString from = covers.filePath(fileName);
    if (!QFileInfo::exists(from)) return;
    const QDir orphaned(covers.filePath(QString::fromLatin1(kOrphanedFolder)));
    if (!QDir().mkpath(orphaned.path()))
        fileFailure(QStringLiteral("create the folder"), orphaned.path(), errno);
    QString target = orphaned.filePath(fileName);
    const QFileInfo name(fileName);
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = orphaned.filePath(
            QStringLiteral("%1-%2.%3").arg(name.completeBaseName()).arg(n).arg(name.suffix()));
    renameFile(from, target);
    syncDirectory(orphaned.path());
    syncDirectory(covers.path());
}

void BookExtrasStore::setCover(const BookKey& key, const CoverImage& image) {
    beginChange();
    BookExtras extras = read(key);
    const QString previous = extras.cover;
    extras.cover = writeCoverFile(key, image);
    storeRow(key, extras);
    if (!previous.isEmpty() && previous != extras.cover) deleteCoverFile(previous);
    endChange();
}

void BookExtrasStore::removeCover(const BookKey& key) {
    BookExtras extras = read(key);
    if (extras.cover.isEmpty()) return;
    const QString cover = extras.cover;
    extras.cover.clear();
    beginChange();
    if (extras.isEmpty())
        eraseRow(key);
    else
        storeRow(key, extras);
    deleteCoverFile(cover);
    endChange();
}

QString BookExtrasStore::coverPath(const BookKey& key) const {
    const QString cover = read(key).cover;
    return cover.isEmpty() ? QString() : QDir(coversDirectory()).filePath(cover);
}

QImage BookExtrasStore::thumbnail(const BookKey& key, const QSize& bound) const {
    const QString path = coverPath(key);
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    // A replaced file has another size or time, so a stale picture is never found.
    const QString cacheKey = QStringLiteral("%1|%2|%3|%4x%5")
                                 .arg(path)
                                 .arg(info.size())
                                 .arg(info.lastModified().toMSecsSinceEpoch())
                                 .arg(bound.width())
                                 .arg(bound.height());
    if (const QImage* cached = thumbnails_.object(cacheKey)) return *cached;
    const QImage image = ReadThumbnail(path, bound);
    if (!image.isNull())
        thumbnails_.insert(cacheKey, new QImage(image),
                           int(qMax<qsizetype>(1, image.sizeInBytes() / 1024)));
    return image;
}

void BookExtrasStore::clearLeftovers(const BookKey& key) {
    const BookExtras left = read(key);
    if (left == BookExtras{} && findRow(key) == paradox::Table::npos) return;
    eraseRow(key);
    if (!left.cover.isEmpty()) moveToOrphaned(left.cover);
}

void BookExtrasStore::beforeBookPost(const std::optional<BookKey>& oldKey, const BookKey& newKey,
                                     const PendingExtras& pending) {
    inBookChange_ = false;  // a post refused before its end left it set
    const bool keyChanges = !oldKey || *oldKey != newKey;
    if (keyChanges && bookExists(newKey)) return;  // the post will be refused
    const bool copies = oldKey && keyChanges && !read(*oldKey).isEmpty();
    const bool leftovers = keyChanges && findRow(newKey) != paradox::Table::npos;
    if (!copies && !leftovers && pending.isEmpty()) return;  // the usual post: nothing to do
    beginChange();
    inBookChange_ = true;
    if (keyChanges) clearLeftovers(newKey);
    if (copies) {
        BookExtras moved = read(*oldKey);
        if (!moved.cover.isEmpty()) moved.cover = copyCoverFile(moved.cover, newKey);
        storeRow(newKey, moved);
    }
    if (pending.cover) setCover(newKey, *pending.cover);
    if (pending.removeCover) removeCover(newKey);
    if (pending.values) write(newKey, *pending.values);
}

void BookExtrasStore::afterBookPost(const std::optional<BookKey>& oldKey, const BookKey& newKey) {
    if (!inBookChange_) return;
    // A cover whose name did not follow from the old key (an imported one)
    // may already have the new key's name: then it stays.
    if (oldKey && *oldKey != newKey && read(*oldKey).cover == read(newKey).cover)
        eraseRow(*oldKey);
    else if (oldKey && *oldKey != newKey)
        erase(*oldKey);
    inBookChange_ = false;
    endChange();
}

void BookExtrasStore::beforeBookDelete(const BookKey& key) {
    inBookChange_ = false;
    if (findRow(key) == paradox::Table::npos) return;
    beginChange();
    inBookChange_ = true;
}

void BookExtrasStore::afterBookDelete(const BookKey& key) {
    if (!inBookChange_) return;
    erase(key);
    inBookChange_ = false;
    endChange();
}

TidyReport BookExtrasStore::tidy() {
    TidyReport report;
    if (!paradox::Table::exists(
            TSession::TablePath(directory_, QString::fromLatin1(kBooksTable)).toStdString()))
        return report;  // without the books nothing can be told an orphan
    QSet<QString> named;
    if (paradox::Table* table = extras()) {
        for (std::size_t i = table->rowCount(); i-- > 0;) {
            const BookKey key = BookKey::OfRow(table->row(i));
            const QString cover = textOf(table->row(i)[COVER]);
            if (bookExists(key)) {
                if (!cover.isEmpty()) named.insert(cover);
                continue;
            }
            table->erase(i);
            ++report.rowsRemoved;
            if (!cover.isEmpty() && QFileInfo::exists(QDir(coversDirectory()).filePath(cover))) {
                moveToOrphaned(cover);
                ++report.coversMoved;
            }
        }
        table->saveChanges();
    }
    const QDir covers(coversDirectory());
    for (const QString& file : covers.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (named.contains(file)) continue;
        moveToOrphaned(file);
        ++report.coversMoved;
    }
    QFile::remove(markerPath());
    return report;
}

TidyReport BookExtrasStore::tidyIfInterrupted() {
    if (!QFileInfo::exists(markerPath())) return {};
    return tidy();
}

}  // namespace store
