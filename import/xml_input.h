#pragma once
// An XML document read as a stream by expat, from a file or from a zip
// entry, a piece at a time: the readers see each element as it starts and
// ends, never the whole document in memory.  Faults become messages that
// name the document and the line.  Entities are never expanded: a document
// that declares any (a "billion laughs" file) is refused.

#include <QIODevice>
#include <QString>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace import {

class EventHandover;  // between the two threads of ParseReadingAhead (xml_input.cpp)

// What a reader does with the elements of a document.  `depth` is 1 for the
// root element.  Attributes come as expat gives them: name, value, ...,
// nullptr.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    // True to have the element's text at its end (with that of the elements
    // inside it, joined).
    virtual bool Start(int depth, std::string_view name, const char** attributes) = 0;
    // `text` is empty unless Start asked for it; it lives until the call returns.
    virtual void End(int depth, std::string_view name, std::string_view text) = 0;
};

class XmlInput {
public:
    // `name` is how messages call the document, e.g. "a.tc (tellico.xml)";
    // `size` is what position() counts up to (0 when not known).
    XmlInput(std::unique_ptr<QIODevice> device, QString name, qint64 size);
    ~XmlInput();
    static XmlInput OpenFile(const QString& path);
    XmlInput(XmlInput&&) noexcept;

    const QString& name() const { return name_; }
    // How many bytes were read so far, out of size().
    qint64 position() const { return position_; }
    qint64 size() const { return size_; }

    // Reads the whole document into `handler`; raises on a document fault or
    // with what the handler raised.
    void Parse(XmlHandler& handler);
    // As Parse, for a large document: a second thread inflates and parses
    // it, a piece ahead, while this one hands its elements to `handler`
    // (which runs on this thread only).
    void ParseReadingAhead(XmlHandler& handler);
    // Raises EImportError naming the document and the line reached.
    [[noreturn]] void Fail(const QString& reason) const;

    // The text as trimmed UTF-8 turned into a QString.
    static QString Text(std::string_view utf8);

private:
    struct Parser;
    struct Recorder;
    [[noreturn]] void FailAt(qint64 line, const QString& reason) const;
    // The reading thread's part of ParseReadingAhead.
    void Record(EventHandover& handover);

    std::unique_ptr<QIODevice> device_;
    QString name_;
    qint64 size_;
    qint64 position_ = 0;
    qint64 replayedLine_ = -1;  // the line of the element handed over, in ParseReadingAhead
    std::unique_ptr<Parser> parser_;
};

}  // namespace import
