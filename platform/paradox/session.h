#pragma once
// Engine sessions: the process's session list, each session's private
// directory, password list and registered callbacks, databases opened by
// directory and their (extended) table lists.
//
// The session list is one per process.  The table utility library is a
// separate shared object that carries its own copy of this code; both copies
// reach the same list through the exported anchor pkeep_paradox_session_list
// (see session.cpp), so a callback registered by the program is the one the
// library calls.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace paradox {

// Engine callback kinds, with the engine's numbers.
enum class CallbackType : int { GeneralProgress = 23 };

// What a callback answers: go on, or stop the operation.
inline constexpr int kCallbackContinue = 1;
inline constexpr int kCallbackAbort = 0;

// Called with the registered client data and buffer; returns one of the
// answers above.  A plain function pointer, so the library can call it.
using CallbackFunction = int (*)(CallbackType type, void* clientData, void* buffer);

// The buffer of a general-progress callback: a percent, or a negative percent
// and a message (NUL-terminated, at most 128 bytes with the NUL).
struct ProgressBuffer {
    std::int16_t percent;
    char message[128];
};
static_assert(sizeof(ProgressBuffer) == 130);

// One record of a database's table list.  The extended list fills every
// field; the plain one only name and type.
struct TableListEntry {
    std::string name;  // file name as found on disk, e.g. "series.db"
    std::string type;  // "PARADOX"
    std::uint64_t size = 0;
    std::time_t modified = 0;
    int fieldCount = 0;
    int recordSize = 0;
    int keyFieldCount = 0;
    std::uint32_t recordCount = 0;  // as the header states it
    int level = 0;                  // file version byte
    bool isProtected = false;       // encrypted
};

class Session;

// A database opened by directory in one session; closes when destroyed.
class Database {
public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& directory() const { return directory_; }
    // Tables of the directory whose name matches `tableName` (any case, with
    // or without ".db"), or all tables when it is empty.  Raises
    // EDatabaseError for a table whose header cannot be read in the
    // extended list.
    std::vector<TableListEntry> tableList(const std::string& tableName, bool extended) const;

private:
    friend class Session;
    Database(Session& session, std::string directory);
    Session& session_;
    std::string directory_;
};

class Session {
public:
    explicit Session(std::string name);
    const std::string& name() const { return name_; }

    // The directory for the engine's temporary and work tables; the current
    // directory unless set.  Always absolute, without a trailing slash.
    std::string privateDirectory() const;
    void setPrivateDirectory(const std::string& directory);

    // Master passwords known to the session.
    void addPassword(const std::string& password);
    void removePassword(const std::string& password);
    bool hasPassword(const std::string& password) const;

    // Opens the database of a directory; raises EDatabaseError when the
    // directory does not exist.
    std::unique_ptr<Database> openDatabase(const std::string& directory);
    int openDatabaseCount() const;

    // Registers `function` for `type` (replacing an earlier one); a null
    // function unregisters.
    void registerCallback(CallbackType type, void* clientData, void* buffer, std::size_t bufferSize,
                          CallbackFunction function);
    bool hasCallback(CallbackType type) const;
    // Reports progress through a registered general-progress callback:
    // percent >= 0, or a message (sent with percent -1).  Returns the
    // callback's answer, kCallbackContinue when none is registered.
    int reportProgress(int percent);
    int reportMessage(const std::string& message);

private:
    friend class Database;
    struct Registration {
        CallbackType type;
        void* clientData;
        void* buffer;
        std::size_t bufferSize;
        CallbackFunction function;
    };
    int invokeProgress(int percent, const std::string& message);

    std::string name_;
    std::string privateDir_;
    std::vector<std::string> passwords_;
    std::vector<Registration> callbacks_;
    int openDatabases_ = 0;
};

// The sessions of the process.  It starts with the default session.
class SessionList {
public:
    static SessionList& instance();

    std::size_t count() const { return sessions_.size(); }
    Session& at(std::size_t i) { return *sessions_.at(i); }
    Session* find(const std::string& name);
    // The session of that name, created when missing.
    Session& openSession(const std::string& name);
    Session& current() { return *sessions_.at(current_); }
    void setCurrent(Session& session);
    // Removes a session other than the default one (the current one falls
    // back to the default).
    void closeSession(const std::string& name);

    // Error detail of the last failed engine or library call, set by the
    // code that failed and read by the code that turns the result code into
    // an exception.
    void setLastError(int code, const std::string& message);
    std::string errorText(int code) const;

    SessionList();

private:
    std::vector<std::unique_ptr<Session>> sessions_;
    std::size_t current_ = 0;
    int lastCode_ = 0;
    std::string lastMessage_;
};

}  // namespace paradox
