#include "import/xml_input.h"

#include <expat.h>

#include <QFile>
#include <QStringDecoder>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

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

// What the reading thread of ParseReadingAhead records, for each element:
// kStart, line, local name, attribute count, names and values; kEnd, line,
// local name; kText, line, length, bytes.  Strings end in a zero byte; a
// local name comes after its length, so that the other thread takes it as
// it is.
constexpr char kStart = 'S', kEnd = 'E', kText = 'T';

void PutNumber(std::string& out, std::uint32_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::uint32_t TakeNumber(const char*& at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

const char* TakeString(const char*& at) {
    const char* text = at;
    at += std::strlen(text) + 1;
    return text;
}

void PutName(std::string& out, std::string_view name) {
    PutNumber(out, static_cast<std::uint32_t>(name.size()));
    out.append(name).push_back('\0');
}

std::string_view TakeName(const char*& at) {
    const std::uint32_t size = TakeNumber(at);
    const std::string_view name(at, size);
    at += size + 1;
    return name;
}

// How many pieces the reading thread may run ahead: a bound on the memory
// between the two.
constexpr std::size_t kPiecesAhead = 4;

}  // namespace

// The recorded elements of each piece read, from the reading thread to the
// one handing them to the handler, in order; the fault that ended the
// reading comes after the pieces read before it.  Used buffers go back to
// be filled again.
class EventHandover {
public:
    struct Piece {
        std::string events;
        qint64 position = 0;  // bytes of the document read up to its end
    };

    // The reading side.  False once the other side stopped taking.
    bool Push(Piece&& piece) {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [&] { return stopped_ || pieces_.size() < kPiecesAhead; });
        if (stopped_) return false;
        pieces_.push_back(std::move(piece));
        ready_.notify_one();
        return true;
    }
    void Finish(std::exception_ptr fault) {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        fault_ = std::move(fault);
        ready_.notify_one();
    }
    std::string Recycled() {
        const std::lock_guard lock(mutex_);
        if (spare_.empty()) return {};
        std::string events = std::move(spare_.back());
        spare_.pop_back();
        events.clear();
        return events;
    }

    // The taking side: the next piece, false at the end; raises the
    // reading's fault once the pieces before it are taken.
    bool Take(Piece& piece) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return finished_ || !pieces_.empty(); });
        if (pieces_.empty()) {
            if (fault_) std::rethrow_exception(fault_);
            return false;
        }
        piece = std::move(pieces_.front());
        pieces_.pop_front();
        room_.notify_one();
        return true;
    }
    void Recycle(std::string&& events) {
        const std::lock_guard lock(mutex_);
        spare_.push_back(std::move(events));
    }
    void Stop() {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        room_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<Piece> pieces_;
    std::vector<std::string> spare_;
    bool finished_ = false, stopped_ = false;
    std::exception_ptr fault_;
};

namespace {

// Runs a callback's work: an exception never passes through expat's C code,
// it stops the parser and is kept in `fault` for the caller to raise.
template <typename Call>
void GuardedCall(XML_Parser expat, std::exception_ptr& fault, Call& call) {
    if (fault) return;
    try {
        call();
    } catch (...) {
        fault = std::current_exception();
        XML_StopParser(expat, XML_FALSE);
    }
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
        GuardedCall(expat, fault, call);
    }

    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        Of(data).Start(LocalName(name), attributes);
    }
    static void XMLCALL OnEnd(void* data, const XML_Char* name) { Of(data).End(LocalName(name)); }

    void Start(std::string_view name, const char** attributes) {
        Guarded([&] {
            if (gathering == 0) text.clear();
            const bool gather =
                handler->Start(static_cast<int>(starts.size()) + 1, name, attributes);
            starts.push_back(gather ? text.size() : kNotGathering);
            if (gather) ++gathering;
        });
    }

    void End(std::string_view name) {
        Guarded([&] {
            const std::size_t start = starts.back();
            const int depth = static_cast<int>(starts.size());
            starts.pop_back();
            std::string_view gathered;
            if (start != kNotGathering) {
                --gathering;
                gathered = std::string_view(text).substr(start);
            }
            handler->End(depth, name, gathered);
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

// The reading thread's expat parser: it records each element and text as
// the handler's thread will need them.  A fault stops the parser and is
// kept for Record to raise.
struct XmlInput::Recorder {
    XML_Parser expat = XML_ParserCreate(nullptr);
    const XmlInput* input = nullptr;
    std::string* events = nullptr;
    std::exception_ptr fault;

    ~Recorder() { XML_ParserFree(expat); }

    static Recorder& Of(void* data) { return *static_cast<Recorder*>(data); }
    std::uint32_t Line() const {
        return static_cast<std::uint32_t>(XML_GetCurrentLineNumber(expat));
    }
    void Put(char kind) {
        *events += kind;
        PutNumber(*events, Line());
    }
    template <typename Call>
    void Guarded(Call&& call) {
        GuardedCall(expat, fault, call);
    }

    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        Recorder& r = Of(data);
        r.Guarded([&] {
            r.Put(kStart);
            PutName(*r.events, LocalName(name));
            std::uint32_t count = 0;
            while (attributes[count]) ++count;
            PutNumber(*r.events, count);
            for (std::uint32_t a = 0; a < count; ++a)
                r.events->append(attributes[a]).push_back('\0');
        });
    }
    static void XMLCALL OnEnd(void* data, const XML_Char* name) {
        Recorder& r = Of(data);
        r.Guarded([&] {
            r.Put(kEnd);
            PutName(*r.events, LocalName(name));
        });
    }
    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        Recorder& r = Of(data);
        r.Guarded([&] {
            r.Put(kText);
            PutNumber(*r.events, static_cast<std::uint32_t>(length));
            r.events->append(text, static_cast<std::size_t>(length));
        });
    }
    static void XMLCALL OnEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int,
                                            const XML_Char*, const XML_Char*, const XML_Char*,
                                            const XML_Char*) {
        Recorder& r = Of(data);
        r.Guarded([&] {
            r.input->FailAt(r.Line(), QStringLiteral("the document declares entities, which are "
                                                     "not read (they can expand without bound)"));
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
    FailAt(replayedLine_ >= 0 ? replayedLine_ : XML_GetCurrentLineNumber(parser_->expat), reason);
}

void XmlInput::FailAt(qint64 line, const QString& reason) const {
    throw EImportError(
        QStringLiteral("%1 line %2: %3").arg(name_).arg(line).arg(reason).toStdString());
}

void XmlInput::Record(EventHandover& handover) {
    Recorder recorder;
    recorder.input = this;
    XML_Parser expat = recorder.expat;
    XML_SetUserData(expat, &recorder);
    XML_SetElementHandler(expat, &Recorder::OnStart, &Recorder::OnEnd);
    XML_SetCharacterDataHandler(expat, &Recorder::OnText);
    XML_SetEntityDeclHandler(expat, &Recorder::OnEntityDeclaration);
    XML_SetUnknownEncodingHandler(expat, &SingleByteEncoding, nullptr);
    qint64 position = 0;
    for (;;) {
        EventHandover::Piece piece{handover.Recycled(), 0};
        recorder.events = &piece.events;
        void* buffer = XML_GetBuffer(expat, kReadChunk);
        if (!buffer) FailAt(recorder.Line(), QStringLiteral("out of memory"));
        // A fault of the zip stream (damaged data, a bomb) ends the reading.
        const qint64 n = device_->read(static_cast<char*>(buffer), kReadChunk);
        if (n < 0) FailAt(recorder.Line(), device_->errorString());
        piece.position = position += n;
        const bool last = n == 0;
        const bool parsed = XML_ParseBuffer(expat, static_cast<int>(n), last) == XML_STATUS_OK;
        // What was read before a fault is handed over first, as Parse would.
        if (!handover.Push(std::move(piece))) return;
        if (!parsed) {
            if (recorder.fault) std::rethrow_exception(recorder.fault);
            FailAt(recorder.Line(), QString::fromLatin1(XML_ErrorString(XML_GetErrorCode(expat))));
        }
        if (last) return;
    }
}

void XmlInput::ParseReadingAhead(XmlHandler& handler) {
    Parser& parser = *parser_;  // its expat is left idle: the reading thread has its own
    parser.input = this;
    parser.handler = &handler;
    EventHandover handover;
    std::thread reader([this, &handover] {
        try {
            Record(handover);
            handover.Finish(nullptr);
        } catch (...) {
            handover.Finish(std::current_exception());
        }
    });
    // Stops the reading thread and waits for it, however the taking ends.
    struct Joined {
        EventHandover& handover;
        std::thread& reader;
        ~Joined() {
            handover.Stop();
            reader.join();
        }
    } joined{handover, reader};
    EventHandover::Piece piece;
    std::vector<const char*> attributes;
    while (handover.Take(piece)) {
        position_ = piece.position;
        const char* at = piece.events.data();
        const char* const end = at + piece.events.size();
        while (at < end) {
            const char kind = *at++;
            replayedLine_ = TakeNumber(at);
            if (kind == kText) {
                const std::uint32_t length = TakeNumber(at);
                Parser::OnText(&parser, at, static_cast<int>(length));
                at += length;
            } else if (kind == kStart) {
                const std::string_view name = TakeName(at);
                attributes.assign(TakeNumber(at), nullptr);
                for (const char*& attribute : attributes) attribute = TakeString(at);
                attributes.push_back(nullptr);
                parser.Start(name, attributes.data());
            } else {
                parser.End(TakeName(at));
            }
            if (parser.fault) std::rethrow_exception(parser.fault);
        }
        handover.Recycle(std::move(piece.events));
    }
    replayedLine_ = -1;
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
    // ASCII white space is cut from the bytes: only text that then starts or
    // ends beyond ASCII can have other white space there to trim.
    const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!utf8.empty() && space(utf8.front())) utf8.remove_prefix(1);
    while (!utf8.empty() && space(utf8.back())) utf8.remove_suffix(1);
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const bool asciiEnds = utf8.empty() || (static_cast<unsigned char>(utf8.front()) < 0x80 &&
                                            static_cast<unsigned char>(utf8.back()) < 0x80);
    return asciiEnds ? text : std::move(text).trimmed();
}

}  // namespace import
