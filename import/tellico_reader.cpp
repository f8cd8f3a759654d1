// Tellico: a .tc zip holding tellico.xml (and the cover images, which are
// not read), or the bare XML.  Only a comic book collection (type 6) is
// taken; each <entry> is a book whose child elements are its fields, a
// multi-valued field wrapped in its plural (<writers><writer>...).
#include <QFileInfo>
#include <QStringList>
#include <utility>

#include "import/import_error.h"
#include "import/readers.h"
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

// The values of one field: the children's texts for a plural wrapper, else
// the element's own text.
QStringList ReadValues(XmlInput& xml) {
    QStringList values;
    QString own;
    QXmlStreamReader& reader = xml.reader();
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QString value = xml.Text();
            if (!value.isEmpty()) values << value;
        } else if (token == QXmlStreamReader::Characters) {
            own += reader.text();
        } else if (token == QXmlStreamReader::EndElement) {
            break;
        }
    }
    xml.CheckFault();
    if (values.isEmpty() && !own.trimmed().isEmpty()) values << own.trimmed();
    return values;
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
Field FieldOf(QStringView element) {
    static const std::pair<QLatin1String, Field> names[] = {
        {QLatin1String("title"), Field::Title},
        {QLatin1String("subtitle"), Field::Subtitle},
        {QLatin1String("writer"), Field::Writer},
        {QLatin1String("writers"), Field::Writer},
        {QLatin1String("artist"), Field::Artist},
        {QLatin1String("artists"), Field::Artist},
        {QLatin1String("series"), Field::Series},
        {QLatin1String("issue"), Field::Issue},
        {QLatin1String("issues"), Field::Issue},
        {QLatin1String("publisher"), Field::Publisher},
        {QLatin1String("publishers"), Field::Publisher},
        {QLatin1String("edition"), Field::Edition},
        {QLatin1String("editions"), Field::Edition},
        {QLatin1String("condition"), Field::Condition},
        {QLatin1String("pur_price"), Field::Paid},
        {QLatin1String("signed"), Field::Signed},
        {QLatin1String("comments"), Field::Notes}};
    for (const auto& [name, field] : names)
        if (element == name) return field;
    return Field::Other;
}

ImportedBook ReadEntry(XmlInput& xml, int number) {
    ImportedBook book;
    book.origin = xml.name() + QStringLiteral(" entry ") + QString::number(number);
    QString subtitle;
    while (xml.NextChild()) {
        const Field field = FieldOf(xml.reader().name());
        QStringList values = ReadValues(xml);
        QString first = values.value(0);
        switch (field) {
            case Field::Title:
                book.title = std::move(first);
                break;
            case Field::Subtitle:
                subtitle = std::move(first);
                break;
            case Field::Writer:
                book.writers = std::move(values);
                break;
            case Field::Artist:
                book.artists = std::move(values);
                break;
            case Field::Series:
                book.series = std::move(first);
                break;
            case Field::Issue:
                book.issue = std::move(first);
                break;
            case Field::Publisher:
                book.publisher = std::move(first);
                break;
            case Field::Edition:
                book.edition = std::move(first);
                break;
            case Field::Condition:
                book.condition = std::move(first);
                break;
            case Field::Paid:
                book.paid = std::move(first);
                break;
            case Field::Signed:
                book.autographed = std::move(first);
                break;
            case Field::Notes:
                book.notes = std::move(first);
                break;
            case Field::Other:
                break;
        }
    }
    if (!subtitle.isEmpty())
        book.title = book.title.isEmpty() ? subtitle : book.title + QStringLiteral(": ") + subtitle;
    return book;
}

}  // namespace

ImportedBooks ReadTellico(const QString& path, const Progress& progress) {
    XmlInput xml = OpenTellico(path);
    const qint64 total = QFileInfo(path).size();
    if (!xml.NextChild() || xml.reader().name() != QLatin1String("tellico"))
        xml.Fail(QStringLiteral("not a Tellico file (no <tellico> element)"));
    ImportedBooks books;
    while (xml.NextChild()) {
        if (xml.reader().name() != QLatin1String("collection")) {
            xml.reader().skipCurrentElement();
            continue;
        }
        const QString type = xml.reader().attributes().value(QLatin1String("type")).toString();
        if (type != QLatin1String(kComicBookType))
            xml.Fail(QStringLiteral("a Tellico collection of type %1; only comic book "
                                    "collections (type 6) can be imported")
                         .arg(type.isEmpty() ? QStringLiteral("(none)") : type));
        int number = 0;
        while (xml.NextChild()) {
            if (xml.reader().name() != QLatin1String("entry")) {
                xml.reader().skipCurrentElement();
                continue;
            }
            books.push_back(ReadEntry(xml, ++number));
            if (number % 256 == 0) ReportProgress(progress, qMin(xml.position(), total), total);
        }
    }
    xml.CheckFault();
    return books;
}

}  // namespace import
