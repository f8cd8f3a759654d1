#pragma once
// Putting a rebuilt table in the place of the original.  A table is up to
// three files, and no file system renames three files at once, so the swap
// is journalled: an interrupted swap is finished or undone by the next call
// of recoverSwap for that table, which every entry point of the library
// makes before it reads a table.

#include <string>
#include <vector>

namespace tutil {

// One file of the table: where it lives, the rebuilt file that replaces it
// and the backup name that keeps the original.
struct SwapFile {
    std::string original;  // may not exist (a table without its index)
    std::string work;      // empty when the rebuilt table has no such file
    std::string backup;
};

// The journal of a table whose .db is `dbPath`.
std::string swapJournalPath(const std::string& dbPath);

// Keeps the originals under their backup names (replacing older backups),
// then moves the work files in, .DB last.  `files[0]` is the .DB.  Raises
// TableError when a step fails; the original table is then back in place.
void swapIn(const std::string& dbPath, const std::vector<SwapFile>& files);

// Finishes or undoes a swap interrupted by a crash.  Returns true when a
// journal was found.  Raises TableError when the files cannot be restored.
bool recoverSwap(const std::string& dbPath);

// Called after each step of a swap with the step's number (1 after the
// backups, 2 after the journal, 3 and on after each rename, then the last
// after the journal is removed): lets a test stop the process at that point
// as a crash would.  Null in normal use.
extern void (*swapStepHook)(int step);

// Makes a file's contents durable.
void syncFile(const std::string& path);

}  // namespace tutil
