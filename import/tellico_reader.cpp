// Tellico: a .tc zip holding tellico.xml (and the cover images, which are
// not read), or the bare XML.  Only a comic book collection (type 6) is
// taken; each <entry> is a book whose child elements are its fields, a
// multi-valued field wrapped in its plural (<writers><writer>...).
#include <QFileInfo>
#include <QStringList>

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

// The field name of an element: the plural wrappers name their field in the
// singular ("writers" holds "writer" values).
QString FieldName(const QString& element) {
    static const QStringList plurals = {QStringLiteral("writers"), QStringLiteral("artists"),
                                        QStringLiteral("issues"), QStringLiteral("publishers"),
                                        QStringLiteral("editions")};
    return plurals.contains(element) ? element.chopped(1) : element;
}

ImportedBook ReadEntry(XmlInput& xml, int number) {
    ImportedBook book;
    book.origin = QStringLiteral("%1 entry %2").arg(xml.name()).arg(number);
    QString subtitle;
    while (xml.NextChild()) {
        const QString field = FieldName(xml.reader().name().toString());
        const QStringList values = ReadValues(xml);
        const QString first = values.value(0);
        if (field == QLatin1String("title"))
            book.title = first;
        else if (field == QLatin1String("subtitle"))
            subtitle = first;
        else if (field == QLatin1String("writer"))
            book.writers = values;
        else if (field == QLatin1String("artist"))
            book.artists = values;
        else if (field == QLatin1String("series"))
            book.series = first;
        else if (field == QLatin1String("issue"))
            book.issue = first;
        else if (field == QLatin1String("publisher"))
            book.publisher = first;
        else if (field == QLatin1String("edition"))
            book.edition = first;
        else if (field == QLatin1String("condition"))
            book.condition = first;
        else if (field == QLatin1String("pur_price"))
            book.paid = first;
        else if (field == QLatin1String("signed"))
            book.autographed = first;
        else if (field == QLatin1String("comments"))
            book.notes = first;
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
