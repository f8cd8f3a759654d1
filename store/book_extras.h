#pragma once
// The book extras table: what the books table has no field for, one row per
// book that has any, keyed exactly like the books table.
//
// extras.db  key ENTRY, COMIC_NO, EDITION
//   ENTRY I | COMIC_NO A15 | EDITION A10 | GRADE A4 (standard grade, "9.8") |
//   GRADER A20 | CERT A20 | BOUGHT D | SOURCE M20 | UPC A17 (digits) |
//   COVER A120 (file name in covers/)
//
// A collection made before the table existed has none: it is created on the
// first write, and until then every book simply has no extras.
//
// The extras of a book live in up to three places: its books row, its
// extras row and its cover file.  They are written in the order that never
// loses any of them when the program is killed between two writes: the
// cover file first, then the extras row, then the books row; deletion the
// other way round.  At worst an extras row or a cover remains whose book is
// gone; tidy() at the next opening removes such rows and moves such covers
// to covers/orphaned/ (a cover is never deleted unasked).  So that an
// ordinary opening need not read the extras at all, every change that
// spans more than one write first leaves a marker file beside the tables
// and removes it when done: tidyIfInterrupted() tidies only when one was
// left.

#include <QCache>
#include <QDate>
#include <QImage>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "platform/paradox/table.h"
#include "store/covers.h"

namespace store {

inline constexpr const char* kExtrasTable = "extras.db";

paradox::TableSchema ExtrasSchema();

// A book's primary key as the books table stores it (COMIC_NO right-
// aligned; a blank EDITION is empty).
struct BookKey {
    int entry = 0;
    QString comicNo;
    QString edition;

    bool operator==(const BookKey&) const = default;
    // The key's values for a search of either table.
    std::vector<paradox::Value> values() const;
    // The key of a books or extras row (the first three fields).
    static BookKey OfRow(const paradox::Row& row);
};

struct BookExtras {
    QString grade;        // a standard grade ("9.8"), empty when not graded
    QString grader;       // empty: the owner's own grade
    QString certificate;  // CERT
    QDate bought;         // null when unknown
    QString source;
    QString upc;    // the barcode's digits (12, or 17 with the add-on)
    QString cover;  // file name in covers/, empty when none; set by the store

    bool operator==(const BookExtras&) const = default;
    // Nothing recorded, not even a cover: the book needs no row.
    bool isEmpty() const { return *this == BookExtras{}; }
};

// Changes to a book's extras made on its page while the book is being
// edited, stored together with the book when it is posted.
struct PendingExtras {
    std::optional<BookExtras> values;  // the new values (their cover is ignored)
    std::optional<CoverImage> cover;   // a new cover image
    bool removeCover = false;          // delete the cover file

    bool isEmpty() const { return !values && !cover && !removeCover; }
};

// What Tidy() put right.
struct TidyReport {
    int rowsRemoved = 0;
    int coversMoved = 0;
};

class BookExtrasStore {
public:
    // The collection in `directory`; nothing is opened or created yet.
    explicit BookExtrasStore(QString directory);
    ~BookExtrasStore();
    BookExtrasStore(const BookExtrasStore&) = delete;
    BookExtrasStore& operator=(const BookExtrasStore&) = delete;

    const QString& directory() const { return directory_; }
    QString tablePath() const;
    QString coversDirectory() const;
    bool tableExists() const;

    // The book's extras; empty ones when it has none (or there is no table).
    BookExtras read(const BookKey& key) const;
    // Stores `extras` for the book, creating the table on first use; the
    // cover stays as it is (setCover/removeCover change it).  Extras that
    // leave nothing recorded remove the book's row.
    void write(const BookKey& key, const BookExtras& extras);
    // The books whose barcode is `typed` (spaces and hyphens ignored), in
    // key order.  When no book has exactly that code, the books with the
    // same 12 digits are found: a code scanned without its add-on, or with
    // an add-on no book has.
    std::vector<BookKey> findByUpc(const QString& typed) const;
    // The book was deleted: its row goes, then its cover file is deleted.
    void erase(const BookKey& key);

    // Stores `image` as the book's cover: the file first, then the row; a
    // previous cover under another name is deleted last.
    void setCover(const BookKey& key, const CoverImage& image);
    // Deletes the book's cover: the row forgets it first, then the file goes.
    void removeCover(const BookKey& key);
    // The full path of the book's cover file, "" when it has none.
    QString coverPath(const BookKey& key) const;
    // The book's cover scaled to fit `bound`, from a bounded in-memory cache
    // once it has been read; a null image when it has none.
    QImage thumbnail(const BookKey& key, const QSize& bound) const;

    // The extras' part of a post of the books row that will be stored under
    // `newKey` (`oldKey` is the row's key before the edit, nullopt for a new
    // book): called before the books row is posted.  Leftovers of a book
    // once stored under `newKey` are cleared, the extras and cover of
    // `oldKey` are copied to `newKey`, then `pending` is stored there.  When
    // a book already holds `newKey` (its post will be refused) nothing is
    // done.
    void beforeBookPost(const std::optional<BookKey>& oldKey, const BookKey& newKey,
                        const PendingExtras& pending);
    // After the post of the books row: a key change's old extras row and
    // cover file go.
    void afterBookPost(const std::optional<BookKey>& oldKey, const BookKey& newKey);
    // Around the deletion of a books row: the extras go after it.
    void beforeBookDelete(const BookKey& key);
    void afterBookDelete(const BookKey& key);

    // Removes rows whose book is gone (moving their covers to
    // covers/orphaned/) and moves every file of covers/ that no row names
    // there too.  For the opening of the collection.
    TidyReport tidy();
    // tidy() when a change was cut short since the last one, else nothing.
    TidyReport tidyIfInterrupted();
    // The marker of a change in progress.
    QString markerPath() const;

private:
    paradox::Table* extras() const;   // null when there is no table
    paradox::Table& extrasCreated();  // created when missing
    bool bookExists(const BookKey& key) const;
    std::size_t findRow(const BookKey& key) const;
    paradox::Row rowOf(const BookKey& key, const BookExtras& extras) const;
    void storeRow(const BookKey& key, const BookExtras& extras);
    void eraseRow(const BookKey& key);
    QString writeCoverFile(const BookKey& key, const CoverImage& image);
    QString copyCoverFile(const QString& fileName, const BookKey& to);
    void deleteCoverFile(const QString& fileName);
    void moveToOrphaned(const QString& fileName);
    void clearLeftovers(const BookKey& key);
    void beginChange();
    void endChange();

    QString directory_;
    mutable std::shared_ptr<paradox::Table> extras_;
    mutable std::shared_ptr<paradox::Table> books_;
    mutable QCache<QString, QImage> thumbnails_;
    bool inBookChange_ = false;  // between before- and after- of a books row change
};

}  // namespace store
