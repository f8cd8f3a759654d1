// The swap of a rebuilt table, in this order:
//
//   1. Each original file is linked (or, where links are not possible,
//      copied) to its backup name; older backups are removed first.
//   2. The journal "<table>.db-rebuild" is written and made durable.  It
//      holds a first line "panel-keep table swap 1" and one line per file:
//      existed (0/1) TAB original TAB work TAB backup.
//   3. The work files are renamed over the originals, the .DB last: that
//      rename is the commit.
//   4. The journal is removed.
//
// Recovery: with no journal there is nothing to do.  While the work .DB
// still exists the swap did not commit, so every original is restored from
// its backup (a file the original table did not have is removed); once the
// work .DB is gone the rebuilt table stands and only the journal is left to
// remove.  Either way the directory holds a whole table, never a mix.

#include "platform/tutil/swap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/tutil/header.h"
#include "platform/tutil/tutil.h"

namespace fs = std::filesystem;

namespace tutil {

namespace {

constexpr const char* kJournalTitle = "panel-keep table swap 1";

[[noreturn]] void fail(const std::string& action, const std::string& path) {
    throw TableError(TU_ERR_IO, "Cannot " + action + " " + path + ": " + std::strerror(errno));
}

bool exists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
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
    const std::string temp = to + ".tmp";
    removeIfPresent(temp);
    if (::link(from.c_str(), temp.c_str()) != 0) {
        std::error_code ec;
        if (!fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec))
            throw TableError(TU_ERR_IO, "Cannot copy " + from + ": " + ec.message());
        syncFile(temp);
    }
    renameFile(temp, to);
}

void writeJournal(const std::string& path, const std::vector<SwapFile>& files) {
    std::ostringstream text;
    text << kJournalTitle << '\n';
    for (const SwapFile& f : files) {
        for (const std::string* name : {&f.original, &f.work, &f.backup})
            if (name->find_first_of("\t\n") != std::string::npos)
                throw TableError(TU_ERR_PARAM, "A table file name holds a tab or a line break");
        text << (exists(f.original) ? 1 : 0) << '\t' << f.original << '\t' << f.work << '\t'
             << f.backup << '\n';
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
    if (!std::getline(in, line) || line != kJournalTitle)
        throw TableError(TU_ERR_DAMAGED, "The swap journal " + path + " is unreadable");
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
            throw TableError(TU_ERR_DAMAGED, "The swap journal " + path + " is unreadable");
        entry.existed = existed == "1";
        lines.push_back(std::move(entry));
    }
    if (lines.empty())
        throw TableError(TU_ERR_DAMAGED, "The swap journal " + path + " is unreadable");
    return lines;
}

void rollBack(const std::vector<JournalLine>& lines) {
    for (const JournalLine& l : lines) {
        if (l.existed) {
            if (!exists(l.file.backup))
                throw TableError(TU_ERR_DAMAGED, "The backup " + l.file.backup +
                                                     " needed to restore the table is missing");
            linkOrCopy(l.file.backup, l.file.original);
        } else {
            removeIfPresent(l.file.original);
        }
    }
    for (const JournalLine& l : lines) removeIfPresent(l.file.work);
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

void swapIn(const std::string& dbPath, const std::vector<SwapFile>& files) {
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
    } catch (const TableError&) {
        recoverSwap(dbPath);
        throw;
    }
    removeIfPresent(journal);
    syncDirectoryOf(dbPath);
    stepDone();
}

bool recoverSwap(const std::string& dbPath) {
    const std::string journal = swapJournalPath(dbPath);
    if (!exists(journal)) return false;
    const std::vector<JournalLine> lines = readJournal(journal);
    const bool committed = lines.front().file.work.empty() || !exists(lines.front().file.work);
    if (!committed) rollBack(lines);
    syncDirectoryOf(dbPath);
    removeIfPresent(journal);
    syncDirectoryOf(dbPath);
    return true;
}

}  // namespace tutil
