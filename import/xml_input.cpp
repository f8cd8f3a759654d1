#include "import/xml_input.h"

#include <expat.h>

#include <QFile>
#include <QStringDecoder>

#include "import/import_error.h"
#include "import/limits.h"

namespace import {

namespace {

constexpr int kReadChunk = 256 * 1024;
constexpr std::size_t kNotGathering = std::string::npos;

// The element's name without its namespace prefix, if any: the formats
// read here are told apart by their local names.  (Parsing without
// namespaces spares expat building a name with the namespace per element.)
std::string_view LocalName(const XML_Char* name) {
    const std::string_view full(name);
    const std::size_t end = full.rfind(':');
    return end == std::string_view::npos ? full : full.substr(end + 1);
}

// A single-byte encoding expat does not know itself (Windows-1252 ...),
// through Qt's decoders.
int XMLCALL SingleByteEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    for (int byte = 0; byte < 256; ++byte) {
        QStringDecoder decoder(name);
        if (!decoder.isValid()) return XML_STATUS_ERROR;
        const char c = static_cast<char>(byte);
        const QString decoded = decoder.decode(QByteArrayView(&c, 1));
        info->map[byte] = decoded.size() == 1 && decoded[0] != QChar::ReplacementCharacter
                              ? decoded[0].unicode()
                              : -1;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

}  // namespace

// The expat parser and the state its callbacks share.  A callback never lets
// an exception pass through expat's C code: it stops the parser and keeps
// the exception for Parse to raise.
struct XmlInput::Parser {
    XML_Parser expat = XML_ParserCreate(nullptr);
    XmlInput* input = nullptr;
    XmlHandler* handler = nullptr;
    std::exception_ptr fault;
    std::string text;                 // the text of the elements gathering it
    std::vector<std::size_t> starts;  // per open element: where its text starts in `text`
    int gathering = 0;                // open elements gathering their text

    ~Parser() { XML_ParserFree(expat); }

    static Parser& Of(void* data) { return *static_cast<Parser*>(data); }

    template <typename Call>
    void Guarded(Call&& call) {
        if (fault) return;
        try {
            call();
        } catch (...) {
            fault = std::current_exception();
            XML_StopParser(expat, XML_FALSE);
        }
    }

    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        Parser& p = Of(data);
        p.Guarded([&] {
            if (p.gathering == 0) p.text.clear();
            const bool gather = p.handler->Start(static_cast<int>(p.starts.size()) + 1,
                                                 LocalName(name), attributes);
            p.starts.push_back(gather ? p.text.size() : kNotGathering);
            if (gather) ++p.gathering;
        });
    }

    static void XMLCALL OnEnd(void* data, const XML_Char* name) {
        Parser& p = Of(data);
        p.Guarded([&] {
            const std::size_t start = p.starts.back();
            const int depth = static_cast<int>(p.starts.size());
            p.starts.pop_back();
            std::string_view text;
            if (start != kNotGathering) {
                --p.gathering;
                text = std::string_view(p.text).substr(start);
            }
            p.handler->End(depth, LocalName(name), text);
        });
    }

    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        Parser& p = Of(data);
        if (p.gathering == 0) return;
        p.text.append(text, static_cast<std::size_t>(length));
        if (static_cast<qint64>(p.text.size()) > kMaxTextChars)
            p.Guarded([&] {
                p.input->Fail(
                    QStringLiteral("a value longer than %1 characters").arg(kMaxTextChars));
            });
    }

    static void XMLCALL OnEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int,
                                            const XML_Char*, const XML_Char*, const XML_Char*,
                                            const XML_Char*) {
        Parser& p = Of(data);
        p.Guarded([&] {
            p.input->Fail(
                QStringLiteral("the document declares entities, which are not read "
                               "(they can expand without bound)"));
        });
    }
};

XmlInput::XmlInput(std::unique_ptr<QIODevice> device, QString name, qint64 size)
    : device_(std::move(device)),
      name_(std::move(name)),
      size_(size),
      parser_(std::make_unique<Parser>()) {
    XML_Parser expat = parser_->expat;
    XML_SetUserData(expat, parser_.get());
    XML_SetElementHandler(expat, &Parser::OnStart, &Parser::OnEnd);
    XML_SetCharacterDataHandler(expat, &Parser::OnText);
    XML_SetEntityDeclHandler(expat, &Parser::OnEntityDeclaration);
    XML_SetUnknownEncodingHandler(expat, &SingleByteEncoding, nullptr);
}

XmlInput::XmlInput(XmlInput&&) noexcept = default;
XmlInput::~XmlInput() = default;

XmlInput XmlInput::OpenFile(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        throw EImportError(
            QStringLiteral("%1: cannot read it (%2)").arg(path, file->errorString()).toStdString());
    const qint64 size = file->size();
    return XmlInput(std::move(file), path, size);
}

void XmlInput::Fail(const QString& reason) const {
    throw EImportError(QStringLiteral("%1 line %2: %3")
                           .arg(name_)
                           .arg(XML_GetCurrentLineNumber(parser_->expat))
                           .arg(reason)
                           .toStdString());
}

void XmlInput::Parse(XmlHandler& handler) {
    Parser& parser = *parser_;
    parser.input = this;
    parser.handler = &handler;
    for (;;) {
        void* buffer = XML_GetBuffer(parser.expat, kReadChunk);
        if (!buffer) Fail(QStringLiteral("out of memory"));
        // A fault of the zip stream (damaged data, a bomb) ends the reading.
        const qint64 n = device_->read(static_cast<char*>(buffer), kReadChunk);
        if (n < 0) Fail(device_->errorString());
        position_ += n;
        const bool last = n == 0;
        if (XML_ParseBuffer(parser.expat, static_cast<int>(n), last) != XML_STATUS_OK) {
            if (parser.fault) std::rethrow_exception(parser.fault);
            Fail(QString::fromLatin1(XML_ErrorString(XML_GetErrorCode(parser.expat))));
        }
        if (last) break;
    }
}

QString XmlInput::Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).trimmed();
}

}  // namespace import
