#include "import/comic_info.h"

namespace import {

namespace {

// ComicRack joins several people of one role with ", " already.
QStringList People(const QString& text) {
    return text.isEmpty() ? QStringList() : QStringList{text};
}

}  // namespace

void ReadComicInfoFields(XmlInput& xml, ImportedBook& book) {
    QString volume;
    while (xml.NextChild()) {
        const QString name = xml.reader().name().toString();
        if (name == QLatin1String("Series"))
            book.series = xml.Text();
        else if (name == QLatin1String("Number"))
            book.issue = xml.Text();
        else if (name == QLatin1String("Volume"))
            volume = xml.Text();
        else if (name == QLatin1String("Title"))
            book.title = xml.Text();
        else if (name == QLatin1String("Writer"))
            book.writers = People(xml.Text());
        else if (name == QLatin1String("Penciller"))
            book.artists = People(xml.Text());
        else if (name == QLatin1String("Publisher"))
            book.publisher = xml.Text();
        else if (name == QLatin1String("Notes"))
            book.notes = xml.Text();
        else
            xml.reader().skipCurrentElement();
    }
    // The volume tells two runs of one series apart: it becomes the edition.
    if (!volume.isEmpty() && volume != QLatin1String("-1"))
        book.edition = QStringLiteral("Vol. ") + volume;
}

}  // namespace import
