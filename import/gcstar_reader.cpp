// GCstar: a .gcs file, <collection type="GCcomics">, one <item> per book
// with its values as attributes (volume is the issue number, cost the price
// paid, signing whether it is signed) and <synopsis>, <comment> children.
// A list-valued field may be written as child lines instead:
// <writer><line><col>...</col></line>...</writer>.
#include <string_view>

#include "import/import_error.h"
#include "import/readers.h"
#include "import/xml_input.h"

namespace import {

namespace {

// The elements of a GCstar document: <collection> (depth 1), <item> (2), its
// child elements (3) and a list's lines (4).
class GCstarHandler : public XmlHandler {
public:
    GCstarHandler(XmlInput& xml, const BookSink& sink, const Progress& progress)
        : xml_(xml), sink_(sink), progress_(progress) {}

    bool Start(int depth, std::string_view name, const char** attributes) override {
        if (depth == 1) CheckCollection(name, attributes);
        if (depth == 2) {
            inItem_ = name == "item";
            if (inItem_) StartItem(attributes);
            return false;
        }
        if (depth == 3 && inItem_) {
            child_ = name == "comment"       ? Child::Comment
                     : name == "writer"      ? Child::Writers
                     : name == "illustrator" ? Child::Artists
                                             : Child::Other;
            lines_.clear();
        }
        return depth >= 3 && inItem_ && child_ != Child::Other;
    }

    void End(int depth, std::string_view, std::string_view text) override {
        if (!inItem_) return;
        if (depth == 4 && child_ != Child::Other) {
            QString line = XmlInput::Text(text);
            if (!line.isEmpty()) lines_ << std::move(line);
        } else if (depth == 3) {
            if (child_ == Child::Comment) book_.notes = XmlInput::Text(text);
            if (child_ == Child::Writers) book_.writers = std::move(lines_);
            if (child_ == Child::Artists) book_.artists = std::move(lines_);
            child_ = Child::Other;
        } else if (depth == 2) {
            inItem_ = false;
            sink_(std::move(book_));
            if (number_ % 256 == 0) ReportProgress(progress_, xml_.position(), xml_.size());
        }
    }

private:
    enum class Child { Other, Comment, Writers, Artists };

    void CheckCollection(std::string_view name, const char** attributes) {
        if (name != "collection")
            xml_.Fail(QStringLiteral("not a GCstar collection (no <collection> element)"));
        const QString type = Attribute(attributes, "type");
        if (type != QLatin1String("GCcomics"))
            xml_.Fail(QStringLiteral("a GCstar collection of %1; only comics (GCcomics) can be "
                                     "imported")
                          .arg(type.isEmpty() ? QStringLiteral("an unnamed type") : type));
    }

    static QString Attribute(const char** attributes, std::string_view name) {
        for (const char** a = attributes; *a; a += 2)
            if (name == a[0]) return XmlInput::Text(a[1]);
        return {};
    }

    void StartItem(const char** attributes) {
        book_ = ImportedBook();
        book_.origin = QStringLiteral("%1 entry %2").arg(xml_.name()).arg(++number_);
        auto value = [attributes](const char* name) { return Attribute(attributes, name); };
        book_.series = value("series");
        book_.issue = value("volume");
        book_.title = value("title");
        if (book_.title.isEmpty()) book_.title = value("name");
        if (!value("writer").isEmpty()) book_.writers << value("writer");
        if (!value("illustrator").isEmpty()) book_.artists << value("illustrator");
        book_.publisher = value("publisher");
        book_.paid = value("cost");
        book_.autographed = value("signing");
    }

    XmlInput& xml_;
    const BookSink& sink_;
    const Progress& progress_;
    bool inItem_ = false;
    int number_ = 0;
    Child child_ = Child::Other;
    QStringList lines_;
    ImportedBook book_;
};

}  // namespace

void ReadGCstar(const QString& path, const BookSink& sink, const Progress& progress) {
    XmlInput xml = XmlInput::OpenFile(path);
    GCstarHandler handler(xml, sink, progress);
    xml.ParseReadingAhead(handler);
}

}  // namespace import
