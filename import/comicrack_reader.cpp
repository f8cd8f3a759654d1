// ComicRack's database, ComicDb.xml: <ComicDatabase><Books><Book Id File>
// with the book's fields as child elements.  A book without a File is a
// physical copy; both kinds are imported.
#include "import/comic_info.h"
#include "import/import_error.h"
#include "import/readers.h"

namespace import {

ImportedBooks ReadComicRack(const QString& path, const Progress& progress) {
    XmlInput xml = XmlInput::OpenFile(path);
    if (!xml.NextChild() || xml.reader().name() != QLatin1String("ComicDatabase"))
        xml.Fail(QStringLiteral("not a ComicRack database (no <ComicDatabase> element)"));
    ImportedBooks books;
    int number = 0;
    while (xml.NextChild()) {
        if (xml.reader().name() != QLatin1String("Books")) {
            xml.reader().skipCurrentElement();
            continue;
        }
        while (xml.NextChild()) {
            if (xml.reader().name() != QLatin1String("Book")) {
                xml.reader().skipCurrentElement();
                continue;
            }
            ImportedBook book;
            book.origin = QStringLiteral("%1 entry %2").arg(path).arg(++number);
            ReadComicInfoFields(xml, book);
            books.push_back(std::move(book));
            if (number % 256 == 0) ReportProgress(progress, xml.position(), xml.size());
        }
    }
    xml.CheckFault();
    return books;
}

}  // namespace import
