#include "platform/paradox/session.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/base/exception.h"
#include "platform/paradox/coding.h"

namespace fs = std::filesystem;

// The anchor through which every module of the process finds the one
// session list.  Executables export it (see maintenance/CMakeLists.txt); a
// module whose lookup finds no exported anchor keeps a list of its own.
extern "C" __attribute__((visibility("default"))) void* pkeep_paradox_session_list() {
    static paradox::SessionList list;
    return &list;
}

namespace paradox {

namespace {

std::string lowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string withoutDbExtension(const std::string& name) {
    std::string lower = lowerCase(name);
    if (lower.size() > 3 && lower.compare(lower.size() - 3, 3, ".db") == 0)
        return lower.substr(0, lower.size() - 3);
    return lower;
}

// Reads the header fields the extended table list reports.  Only the fixed
// part is needed; a file shorter than it is reported as damaged.
void readListFields(const fs::path& path, TableListEntry& entry) {
    std::array<std::uint8_t, 0x78> head{};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    if (in.gcount() < 0x58)
        throw EDatabaseError("Table " + path.string() + " is damaged: its header is incomplete");
    using namespace coding;
    entry.recordSize = getU16(&head[0x00]);
    entry.recordCount = getU32(&head[0x06]);
    entry.fieldCount = getS16(&head[0x21]);
    entry.keyFieldCount = getS16(&head[0x23]);
    entry.level = head[0x39];
    const bool hasExtension = entry.level >= 5 && in.gcount() >= 0x60;
    entry.isProtected = entry.level >= 4 && hasExtension
                            ? getU32(&head[0x25]) == 0xFF00FF00u && getU32(&head[0x5C]) != 0
                            : getU32(&head[0x25]) != 0;
}

}  // namespace

// ---- Database ----------------------------------------------------------

Database::Database(Session& session, std::string directory)
    : session_(session), directory_(std::move(directory)) {
    ++session_.openDatabases_;
}

Database::~Database() { --session_.openDatabases_; }

std::vector<TableListEntry> Database::tableList(const std::string& tableName, bool extended) const {
    const std::string wanted = withoutDbExtension(fs::path(tableName).filename().string());
    std::vector<TableListEntry> list;
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(directory_, ec)) {
        const std::string file = item.path().filename().string();
        const std::string lower = lowerCase(file);
        if (lower.size() <= 3 || lower.compare(lower.size() - 3, 3, ".db") != 0) continue;
        if (!wanted.empty() && withoutDbExtension(lower) != wanted) continue;
        if (!item.is_regular_file(ec)) continue;
        TableListEntry entry;
        entry.name = file;
        entry.type = "PARADOX";
        if (extended) {
            entry.size = item.file_size(ec);
            struct stat st;
            if (::stat(item.path().c_str(), &st) == 0) entry.modified = st.st_mtime;
            readListFields(item.path(), entry);
        }
        list.push_back(std::move(entry));
    }
    std::sort(list.begin(), list.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    return list;
}

// ---- Session -----------------------------------------------------------

Session::Session(std::string name) : name_(std::move(name)) {}

std::string Session::privateDirectory() const {
    std::string dir = privateDir_.empty() ? fs::current_path().string() : privateDir_;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

void Session::setPrivateDirectory(const std::string& directory) {
    if (!directory.empty() && !fs::is_directory(directory))
        throw EDatabaseError("Private directory " + directory + " does not exist");
    privateDir_ = directory.empty() ? std::string() : fs::absolute(directory).string();
}

void Session::addPassword(const std::string& password) {
    if (!hasPassword(password)) passwords_.push_back(password);
}

void Session::removePassword(const std::string& password) { std::erase(passwords_, password); }

bool Session::hasPassword(const std::string& password) const {
    return std::find(passwords_.begin(), passwords_.end(), password) != passwords_.end();
}

std::unique_ptr<Database> Session::openDatabase(const std::string& directory) {
    const std::string dir = directory.empty() ? fs::current_path().string() : directory;
    if (!fs::is_directory(dir)) throw EDatabaseError("Directory " + dir + " does not exist");
    return std::unique_ptr<Database>(new Database(*this, dir));
}

int Session::openDatabaseCount() const { return openDatabases_; }

void Session::registerCallback(CallbackType type, void* clientData, void* buffer,
                               std::size_t bufferSize, CallbackFunction function) {
    std::erase_if(callbacks_, [type](const Registration& r) { return r.type == type; });
    if (function) callbacks_.push_back({type, clientData, buffer, bufferSize, function});
}

bool Session::hasCallback(CallbackType type) const {
    return std::any_of(callbacks_.begin(), callbacks_.end(),
                       [type](const Registration& r) { return r.type == type; });
}

int Session::reportProgress(int percent) { return invokeProgress(std::clamp(percent, 0, 100), {}); }

int Session::reportMessage(const std::string& message) { return invokeProgress(-1, message); }

int Session::invokeProgress(int percent, const std::string& message) {
    for (const Registration& r : callbacks_) {
        if (r.type != CallbackType::GeneralProgress) continue;
        if (r.buffer && r.bufferSize >= sizeof(ProgressBuffer)) {
            auto* buffer = static_cast<ProgressBuffer*>(r.buffer);
            buffer->percent = static_cast<std::int16_t>(percent);
            const std::size_t n = std::min(message.size(), sizeof(buffer->message) - 1);
            std::memcpy(buffer->message, message.data(), n);
            buffer->message[n] = '\0';
        }
        return r.function(r.type, r.clientData, r.buffer);
    }
    return kCallbackContinue;
}

// ---- SessionList -------------------------------------------------------

SessionList::SessionList() { sessions_.push_back(std::make_unique<Session>("Default")); }

SessionList& SessionList::instance() {
    static SessionList* shared = [] {
        using Anchor = void* (*)();
        // The first definition in the process's global scope wins: the
        // executable's when it exports one, else this module's own.
        auto anchor = reinterpret_cast<Anchor>(dlsym(RTLD_DEFAULT, "pkeep_paradox_session_list"));
        if (!anchor) anchor = &pkeep_paradox_session_list;
        return static_cast<SessionList*>(anchor());
    }();
    return *shared;
}

Session* SessionList::find(const std::string& name) {
    for (auto& s : sessions_)
        if (lowerCase(s->name()) == lowerCase(name)) return s.get();
    return nullptr;
}

Session& SessionList::openSession(const std::string& name) {
    if (Session* s = find(name)) return *s;
    sessions_.push_back(std::make_unique<Session>(name));
    return *sessions_.back();
}

void SessionList::setCurrent(Session& session) {
    for (std::size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].get() == &session) current_ = i;
}

void SessionList::closeSession(const std::string& name) {
    for (std::size_t i = 1; i < sessions_.size(); ++i) {
        if (lowerCase(sessions_[i]->name()) != lowerCase(name)) continue;
        if (current_ == i)
            current_ = 0;
        else if (current_ > i)
            --current_;
        sessions_.erase(sessions_.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

void SessionList::setLastError(int code, const std::string& message) {
    lastCode_ = code;
    lastMessage_ = message;
}

std::string SessionList::errorText(int code) const {
    if (code == lastCode_ && !lastMessage_.empty()) return lastMessage_;
    return "Table engine error " + std::to_string(code);
}

}  // namespace paradox
