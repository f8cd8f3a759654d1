// Tellico: a .tc zip holding tellico.xml (and the cover images, which are
// not read), or the bare XML.  Only a comic book collection (type 6) is
// taken; each <entry> is a book whose child elements are its fields, a
// multi-valued field wrapped in its plural (<writers><writer>...).
#include <QFileInfo>
#include <QStringList>
#include <string_view>
#include <utility>

#include "import/import_error.h"
#include "import/readers.h"
#include "import/recent_texts.h"
#include "import/xml_input.h"
#include "import/zip_archive.h"

namespace import {

namespace {

constexpr const char* kComicBookType = "6";

XmlInput OpenTellico(const QString& path) {
    if (!LooksLikeZip(path)) return XmlInput::OpenFile(path);
    const ZipArchive archive(path);
    const std::optional<qint64> index = archive.Find(QStringLiteral("tellico.xml"));
    if (!index)
        throw EImportError(
            QStringLiteral("%1: the archive holds no tellico.xml").arg(path).toStdString());
    return XmlInput(archive.Open(*index), path + QStringLiteral(" (tellico.xml)"), 0);
}

// The fields of an entry that are read; the others are passed over.
enum class Field {
    Other,
    Title,
    Subtitle,
    Writer,
    Artist,
    Series,
    Issue,
    Publisher,
    Edition,
    Condition,
    Paid,
    Signed,
    Notes
};

// The field of an element: the plural wrappers name their field in the
// singular ("writers" holds "writer" values).
Field FieldOf(std::string_view element) {
    static constexpr std::pair<std::string_view, Field> names[] = {
        {"title", Field::Title},          {"subtitle", Field::Subtitle},
        {"writer", Field::Writer},        {"writers", Field::Writer},
        {"artist", Field::Artist},        {"artists", Field::Artist},
        {"series", Field::Series},        {"issue", Field::Issue},
        {"issues", Field::Issue},         {"publisher", Field::Publisher},
        {"publishers", Field::Publisher}, {"edition", Field::Edition},
        {"editions", Field::Edition},     {"condition", Field::Condition},
        {"pur_price", Field::Paid},       {"signed", Field::Signed},
        {"comments", Field::Notes}};
    for (const auto& [name, field] : names)
        if (element == name) return field;
    return Field::Other;
}

// The elements of a Tellico document: <tellico> (depth 1), <collection>
// (2), <entry> (3), its fields (4) and a plural wrapper's values (5).
class TellicoHandler : public XmlHandler {
public:
    TellicoHandler(XmlInput& xml, qint64 total, const BookSink& sink, const Progress& progress)
        : xml_(xml),
          entryPrefix_(xml.name() + QStringLiteral(" entry ")),
          total_(total),
          sink_(sink),
          progress_(progress) {}

    bool Start(int depth, std::string_view name, const char** attributes) override {
        if (depth == 1 && name != "tellico")
            xml_.Fail(QStringLiteral("not a Tellico file (no <tellico> element)"));
        if (depth == 2) {
            inCollection_ = name == "collection";
            if (inCollection_) CheckType(attributes);
        } else if (depth == 3 && inCollection_) {
            inEntry_ = name == "entry";
            if (inEntry_) StartEntry();
        } else if (depth == 4 && inEntry_) {
            field_ = FieldOf(name);
            values_.clear();
            return field_ != Field::Other;
        }
        return depth > 4 && inEntry_ && field_ != Field::Other;
    }

    void End(int depth, std::string_view, std::string_view text) override {
        if (!inEntry_) return;
        if (depth == 5 && field_ != Field::Other) {
            QString value = Value(text);
            if (!value.isEmpty()) values_ << std::move(value);
        } else if (depth == 4 && field_ != Field::Other) {
            // A plural wrapper holds its values; any other field its own text.
            if (values_.isEmpty()) {
                QString own = Value(text);
                if (!own.isEmpty()) values_ << std::move(own);
            }
            Assign();
        } else if (depth == 3) {
            FinishEntry();
        }
    }

private:
    // The field's text; the values that repeat from book to book (people,
    // series, publishers, grades) shared with the last one read.
    QString Value(std::string_view text) {
        const bool repeats = field_ != Field::Title && field_ != Field::Subtitle &&
                             field_ != Field::Notes && field_ != Field::Paid;
        return repeats ? texts_.Text(text) : XmlInput::Text(text);
    }

    void CheckType(const char** attributes) {
        QString type;
        for (const char** a = attributes; *a; a += 2)
            if (std::string_view(a[0]) == "type") type = QString::fromUtf8(a[1]);
        if (type != QLatin1String(kComicBookType))
            xml_.Fail(QStringLiteral("a Tellico collection of type %1; only comic book "
                                     "collections (type 6) can be imported")
                          .arg(type.isEmpty() ? QStringLiteral("(none)") : type));
        number_ = 0;
    }

    void StartEntry() {
        book_ = ImportedBook();
        book_.origin = entryPrefix_;  // shared, not copied
        book_.originNumber = ++number_;
        subtitle_.clear();
    }

    void Assign() {
        QString first = values_.value(0);
        switch (field_) {
            case Field::Title:
                book_.title = std::move(first);
                break;
            case Field::Subtitle:
                subtitle_ = std::move(first);
                break;
            case Field::Writer:
                book_.writers = std::move(values_);
                break;
            case Field::Artist:
                book_.artists = std::move(values_);
                break;
            case Field::Series:
                book_.series = std::move(first);
                break;
            case Field::Issue:
                book_.issue = std::move(first);
                break;
            case Field::Publisher:
                book_.publisher = std::move(first);
                break;
            case Field::Edition:
                book_.edition = std::move(first);
                break;
            case Field::Condition:
                book_.condition = std::move(first);
                break;
            case Field::Paid:
                book_.paid = std::move(first);
                break;
            case Field::Signed:
                book_.autographed = std::move(first);
                break;
            case Field::Notes:
                book_.notes = std::move(first);
                break;
            case Field::Other:
                break;
        }
        values_.clear();
        field_ = Field::Other;
    }

    void FinishEntry() {
        inEntry_ = false;
        if (!subtitle_.isEmpty())
            book_.title =
                book_.title.isEmpty() ? subtitle_ : book_.title + QStringLiteral(": ") + subtitle_;
        sink_(std::move(book_));
        if (number_ % 256 == 0) ReportProgress(progress_, qMin(xml_.position(), total_), total_);
    }

    XmlInput& xml_;
    const QString entryPrefix_;  // "file entry ", each book's origin but its number
    qint64 total_;
    const BookSink& sink_;
    const Progress& progress_;
    bool inCollection_ = false, inEntry_ = false;
    int number_ = 0;
    Field field_ = Field::Other;
    QStringList values_;
    QString subtitle_;
    RecentTexts texts_{&XmlInput::Text};  // the values, shared when read again
    ImportedBook book_;
};

}  // namespace

void ReadTellico(const QString& path, const BookSink& sink, const Progress& progress) {
    XmlInput xml = OpenTellico(path);
    TellicoHandler handler(xml, QFileInfo(path).size(), sink, progress);
    xml.ParseReadingAhead(handler);
}

}  // namespace import
