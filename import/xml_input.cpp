#include "import/xml_input.h"

#include <QFile>

#include "import/import_error.h"
#include "import/limits.h"

namespace import {

XmlInput::XmlInput(std::unique_ptr<QIODevice> device, QString name, qint64 size)
    : device_(std::move(device)), name_(std::move(name)), size_(size), reader_(device_.get()) {}

XmlInput XmlInput::OpenFile(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        throw EImportError(
            QStringLiteral("%1: cannot read it (%2)").arg(path, file->errorString()).toStdString());
    const qint64 size = file->size();
    return XmlInput(std::move(file), path, size);
}

void XmlInput::Fail(const QString& reason) {
    throw EImportError(QStringLiteral("%1 line %2: %3")
                           .arg(name_)
                           .arg(reader_.lineNumber())
                           .arg(reason)
                           .toStdString());
}

void XmlInput::CheckFault() {
    if (!reader_.hasError()) return;
    // A fault of the zip stream shows in the reader as a cut-off document;
    // the stream's own reason is the one the user needs.
    const QString deviceFault = device_->errorString();
    if (!device_->isSequential() || deviceFault.isEmpty() ||
        deviceFault == QLatin1String("Unknown error"))
        Fail(reader_.errorString());
    Fail(QStringLiteral("%1 (%2)").arg(deviceFault, reader_.errorString()));
}

bool XmlInput::NextChild() {
    const bool found = reader_.readNextStartElement();
    CheckFault();
    return found;
}

QString XmlInput::Text() {
    QString text;
    int depth = 1;
    while (depth > 0 && !reader_.atEnd()) {
        switch (reader_.readNext()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::Characters:
            case QXmlStreamReader::EntityReference:
                text += reader_.text();
                if (text.size() > kMaxTextChars)
                    Fail(QStringLiteral("a value longer than %1 characters").arg(kMaxTextChars));
                break;
            default:
                break;
        }
    }
    CheckFault();
    return text.trimmed();
}

}  // namespace import
