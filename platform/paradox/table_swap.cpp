// The swap of a rebuilt table, in this order:
//
//   1. Each original file is linked (or, where links are not possible,
//      copied) to its backup name; older backups are removed first.
//   2. The journal "<table>.db-rebuild" is written and made durable.  It
//      holds a first line "panel-keep table swap 1" and one line per file:
//      existed (0/1) TAB original TAB work TAB backup.  The names are
//      absolute, as whoever recovers the swap may run in another directory;
//      a relative name (older journals) is read against the journal's own
//      directory.
//   3. The work files are renamed over the originals, the .DB last: that
//      rename is the commit.
//   4. The journal is removed.
//
// Recovery (under the table's lock, so never while a live process swaps):
// with no journal there is nothing to do.  While the work .DB
// still exists the swap did not commit, so every original is restored from
// its backup (a file the original table did not have is removed); once the
// work .DB is gone the rebuilt table stands and only the journal is left to
// remove.  Either way the directory holds a whole table, never a mix.

#include "platform/paradox/table_swap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/paradox/errors.h"
#include "platform/paradox/file_io.h"

namespace fs = std::filesystem;

namespace paradox {

namespace {

constexpr const char* kJournalTitle = "panel-keep table swap 1";

[[noreturn]] void fail(const std::string& action, const std::string& path) {
    throwSystemError(action, path, errno);
}

[[noreturn]] void unreadableJournal(const std::string& path) {
    throwDamaged(path, 0, "the journal of an interrupted rebuild is unreadable");
}

bool exists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void syncDirectoryOf(const std::string& path) {
    const std::string dir = fs::path(path).parent_path().string();
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void removeIfPresent(const std::string& path) {
    if (!path.empty() && ::unlink(path.c_str()) != 0 && errno != ENOENT) fail("remove", path);
}

void renameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) fail("rename " + from + " to", to);
}

// Gives `to` the contents of `from`, keeping `from`: a hard link where the
// file system allows one, else a durable copy.
void linkOrCopy(const std::string& from, const std::string& to) {
    // Renaming a link over another link of the same file does nothing and
    // would leave the temporary name behind.
    if (sameFile(from, to)) return;
    const std::string temp = to + ".tmp";
    removeIfPresent(temp);
    if (::link(from.c_str(), temp.c_str()) != 0) {
        std::error_code ec;
        if (!fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec))
            throw EDatabaseError("Cannot copy " + from + ": " + ec.message());
        syncFile(temp);
    }
    renameFile(temp, to);
}

std::string absolute(const std::string& path) {
    return path.empty() ? path : fs::absolute(path).lexically_normal().string();
}

// A name from the journal, relative ones taken from the journal's directory.
std::string resolved(const std::string& journal, const std::string& name) {
    if (name.empty() || fs::path(name).is_absolute()) return name;
    return (fs::absolute(journal).parent_path() / fs::path(name).filename()).string();
}

void writeJournal(const std::string& path, const std::vector<SwapFile>& files) {
    std::ostringstream text;
    text << kJournalTitle << '\n';
    for (const SwapFile& f : files) {
        for (const std::string* name : {&f.original, &f.work, &f.backup})
            if (name->find_first_of("\t\n") != std::string::npos)
                throw EDatabaseError("A table file name holds a tab or a line break");
        text << (exists(f.original) ? 1 : 0) << '\t' << absolute(f.original) << '\t'
             << absolute(f.work) << '\t' << absolute(f.backup) << '\n';
    }
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text.str();
        out.flush();
        if (!out) fail("write", temp);
    }
    syncFile(temp);
    renameFile(temp, path);
    syncDirectoryOf(path);
}

struct JournalLine {
    bool existed;
    SwapFile file;
};

std::vector<JournalLine> readJournal(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kJournalTitle) unreadableJournal(path);
    std::vector<JournalLine> lines;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string existed;
        JournalLine entry;
        std::getline(fields, existed, '\t');
        std::getline(fields, entry.file.original, '\t');
        std::getline(fields, entry.file.work, '\t');
        std::getline(fields, entry.file.backup, '\t');
        if ((existed != "0" && existed != "1") || entry.file.original.empty())
            unreadableJournal(path);
        entry.existed = existed == "1";
        for (std::string* name : {&entry.file.original, &entry.file.work, &entry.file.backup})
            *name = resolved(path, *name);
        lines.push_back(std::move(entry));
    }
    if (lines.empty()) unreadableJournal(path);
    return lines;
}

void rollBack(const std::vector<JournalLine>& lines) {
    for (const JournalLine& l : lines) {
        if (l.existed) {
            if (!exists(l.file.backup))
                throwDamaged(l.file.backup, 0,
                             "this backup, needed to restore the table after an interrupted "
                             "rebuild, is missing");
            linkOrCopy(l.file.backup, l.file.original);
        } else {
            removeIfPresent(l.file.original);
        }
    }
    for (const JournalLine& l : lines) removeIfPresent(l.file.work);
}

// Finishes or undoes the swap; the caller holds the table's lock.
bool recoverLocked(const std::string& dbPath) {
    const std::string journal = swapJournalPath(dbPath);
    if (!exists(journal)) return false;
    const std::vector<JournalLine> lines = readJournal(journal);
    const SwapFile& db = lines.front().file;
    const bool committed = db.work.empty() || !exists(db.work);
    // Neither the rebuilt .DB nor its work file: the journal does not
    // describe these files, and only the backups can tell what the table was.
    if (committed && !exists(db.original))
        throwDamaged(db.original, 0,
                     "the table is missing after an interrupted rebuild; its backup " + db.backup +
                         " is kept");
    if (!committed) rollBack(lines);
    syncDirectoryOf(dbPath);
    removeIfPresent(journal);
    syncDirectoryOf(dbPath);
    return true;
}

}  // namespace

void (*swapStepHook)(int step) = nullptr;

std::string swapJournalPath(const std::string& dbPath) { return dbPath + "-rebuild"; }

void syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) fail("open", path);
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0) fail("sync", path);
}

void swapTableFiles(const std::string& dbPath, const std::vector<SwapFile>& files) {
    for (const SwapFile& f : files) {
        removeIfPresent(f.backup);
        if (exists(f.original)) linkOrCopy(f.original, f.backup);
    }
    syncDirectoryOf(dbPath);
    int step = 0;
    auto stepDone = [&step] {
        if (swapStepHook) swapStepHook(++step);
    };
    stepDone();
    const std::string journal = swapJournalPath(dbPath);
    writeJournal(journal, files);
    stepDone();
    try {
        for (std::size_t i = files.size(); i-- > 0;) {
            if (files[i].work.empty()) continue;
            if (i == 0) syncDirectoryOf(dbPath);  // the other files are in before the commit
            renameFile(files[i].work, files[i].original);
            stepDone();
        }
        syncDirectoryOf(dbPath);
    } catch (const EDatabaseError&) {
        recoverLocked(dbPath);
        throw;
    }
    removeIfPresent(journal);
    syncDirectoryOf(dbPath);
    stepDone();
}

bool recoverTableSwap(const std::string& dbPath) {
    if (!exists(swapJournalPath(dbPath))) return false;
    // A table another process holds is not half-swapped: it is in use, or
    // its swap is under way.  Once the lock is free, whoever held it is done
    // or gone.
    bool writable = false;
    const FileHandle db = FileHandle::openExisting(dbPath, writable);
    if (!db.tryLockExclusive())
        throw ETableInUse("Table " + dbPath + " is in use by another program");
    return recoverLocked(dbPath);
}

}  // namespace paradox
