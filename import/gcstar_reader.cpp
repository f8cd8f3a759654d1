// GCstar: a .gcs file, <collection type="GCcomics">, one <item> per book
// with its values as attributes (volume is the issue number, cost the price
// paid, signing whether it is signed) and <synopsis>, <comment> children.
// A list-valued field may be written as child lines instead:
// <writer><line><col>...</col></line>...</writer>.
#include <QFileInfo>

#include "import/import_error.h"
#include "import/readers.h"
#include "import/xml_input.h"

namespace import {

namespace {

// The values of a list-valued child element, one per <line>.
QStringList ReadLines(XmlInput& xml) {
    QStringList values;
    while (xml.NextChild()) {
        const QString value = xml.Text();
        if (!value.isEmpty()) values << value;
    }
    return values;
}

ImportedBook ReadItem(XmlInput& xml, int number) {
    ImportedBook book;
    book.origin = QStringLiteral("%1 entry %2").arg(xml.name()).arg(number);
    const QXmlStreamAttributes attributes = xml.reader().attributes();
    auto value = [&attributes](const char* name) {
        return attributes.value(QLatin1String(name)).toString().trimmed();
    };
    book.series = value("series");
    book.issue = value("volume");
    book.title = value("title");
    if (book.title.isEmpty()) book.title = value("name");
    if (!value("writer").isEmpty()) book.writers << value("writer");
    if (!value("illustrator").isEmpty()) book.artists << value("illustrator");
    book.publisher = value("publisher");
    book.paid = value("cost");
    book.autographed = value("signing");
    while (xml.NextChild()) {
        const QString name = xml.reader().name().toString();
        if (name == QLatin1String("comment"))
            book.notes = xml.Text();
        else if (name == QLatin1String("writer"))
            book.writers = ReadLines(xml);
        else if (name == QLatin1String("illustrator"))
            book.artists = ReadLines(xml);
        else
            xml.reader().skipCurrentElement();
    }
    return book;
}

}  // namespace

ImportedBooks ReadGCstar(const QString& path, const Progress& progress) {
    XmlInput xml = XmlInput::OpenFile(path);
    if (!xml.NextChild() || xml.reader().name() != QLatin1String("collection"))
        xml.Fail(QStringLiteral("not a GCstar collection (no <collection> element)"));
    const QString type = xml.reader().attributes().value(QLatin1String("type")).toString();
    if (type != QLatin1String("GCcomics"))
        xml.Fail(QStringLiteral("a GCstar collection of %1; only comics (GCcomics) can be "
                                "imported")
                     .arg(type.isEmpty() ? QStringLiteral("an unnamed type") : type));
    ImportedBooks books;
    int number = 0;
    while (xml.NextChild()) {
        if (xml.reader().name() != QLatin1String("item")) {
            xml.reader().skipCurrentElement();
            continue;
        }
        books.push_back(ReadItem(xml, ++number));
        if (number % 256 == 0) ReportProgress(progress, xml.position(), xml.size());
    }
    xml.CheckFault();
    return books;
}

}  // namespace import
