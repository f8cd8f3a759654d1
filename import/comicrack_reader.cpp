// ComicRack's database, ComicDb.xml: <ComicDatabase><Books><Book Id File>
// with the book's fields as child elements.  A book without a File is a
// physical copy; both kinds are imported.
#include <optional>

#include "import/comic_info.h"
#include "import/import_error.h"
#include "import/readers.h"
#include "import/xml_input.h"

namespace import {

namespace {

// <ComicDatabase> (depth 1), <Books> (2), <Book> (3), its fields (4).
class ComicRackHandler : public XmlHandler {
public:
    ComicRackHandler(XmlInput& xml, const QString& path, const BookSink& sink,
                     const Progress& progress)
        : xml_(xml), path_(path), sink_(sink), progress_(progress) {}

    bool Start(int depth, std::string_view name, const char**) override {
        if (depth == 1 && name != "ComicDatabase")
            xml_.Fail(QStringLiteral("not a ComicRack database (no <ComicDatabase> element)"));
        if (depth == 2) inBooks_ = name == "Books";
        if (depth == 3 && inBooks_ && name == "Book")
            book_.emplace(QStringLiteral("%1 entry %2").arg(path_).arg(++number_));
        if (depth == 4 && book_) return ComicInfoFields::IsField(name);
        return depth > 4 && book_;
    }

    void End(int depth, std::string_view name, std::string_view text) override {
        if (!book_) return;
        if (depth == 4) book_->Take(name, text);
        if (depth != 3) return;
        sink_(book_->Finish());
        book_.reset();
        if (number_ % 256 == 0) ReportProgress(progress_, xml_.position(), xml_.size());
    }

private:
    XmlInput& xml_;
    const QString& path_;
    const BookSink& sink_;
    const Progress& progress_;
    bool inBooks_ = false;
    int number_ = 0;
    std::optional<ComicInfoFields> book_;
};

}  // namespace

void ReadComicRack(const QString& path, const BookSink& sink, const Progress& progress) {
    XmlInput xml = XmlInput::OpenFile(path);
    ComicRackHandler handler(xml, path, sink, progress);
    xml.ParseReadingAhead(handler);
}

}  // namespace import
