#include "import/comic_info.h"

#include "import/xml_input.h"

namespace import {

namespace {

// ComicRack joins several people of one role with ", " already.
QStringList People(const QString& text) {
    return text.isEmpty() ? QStringList() : QStringList{text};
}

constexpr std::string_view kFields[] = {"Series", "Number",    "Volume",    "Title",
                                        "Writer", "Penciller", "Publisher", "Notes"};

}  // namespace

ComicInfoFields::ComicInfoFields(QString origin) { book_.origin = std::move(origin); }

bool ComicInfoFields::IsField(std::string_view name) {
    for (const std::string_view field : kFields)
        if (name == field) return true;
    return false;
}

void ComicInfoFields::Take(std::string_view name, std::string_view utf8) {
    QString text = XmlInput::Text(utf8);
    if (name == "Series")
        book_.series = std::move(text);
    else if (name == "Number")
        book_.issue = std::move(text);
    else if (name == "Volume")
        volume_ = std::move(text);
    else if (name == "Title")
        book_.title = std::move(text);
    else if (name == "Writer")
        book_.writers = People(text);
    else if (name == "Penciller")
        book_.artists = People(text);
    else if (name == "Publisher")
        book_.publisher = std::move(text);
    else if (name == "Notes")
        book_.notes = std::move(text);
}

ImportedBook ComicInfoFields::Finish() {
    // The volume tells two runs of one series apart: it becomes the edition.
    if (!volume_.isEmpty() && volume_ != QLatin1String("-1"))
        book_.edition = QStringLiteral("Vol. ") + volume_;
    return std::move(book_);
}

}  // namespace import
