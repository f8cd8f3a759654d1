#pragma once
// An XML document read as a stream, from a file or from a zip entry, with
// the faults a reader meets turned into messages that name the document
// and the line.  Entity expansion is bounded by QXmlStreamReader itself
// (a "billion laughs" file fails with its error, it never expands).

#include <QIODevice>
#include <QString>
#include <QXmlStreamReader>
#include <memory>

namespace import {

class XmlInput {
public:
    // `name` is how messages call the document, e.g. "a.tc (tellico.xml)".
    XmlInput(std::unique_ptr<QIODevice> device, QString name, qint64 size);
    static XmlInput OpenFile(const QString& path);

    QXmlStreamReader& reader() { return reader_; }
    const QString& name() const { return name_; }
    // How far the stream got, out of size() (0 when not known).
    qint64 position() const { return reader_.characterOffset(); }
    qint64 size() const { return size_; }

    // Moves to the next start element inside the current element; false at
    // its end.  Raises on a document fault.
    bool NextChild();
    // The text of the current element (its end tag is consumed), bounded in
    // length; child elements' text is joined.
    QString Text();
    // Raises when the document turned out damaged.
    void CheckFault();
    [[noreturn]] void Fail(const QString& reason);

private:
    std::unique_ptr<QIODevice> device_;
    QString name_;
    qint64 size_;
    QXmlStreamReader reader_;
};

}  // namespace import
