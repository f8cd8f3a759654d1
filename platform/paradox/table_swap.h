#pragma once
// Putting a rebuilt table in the place of the original.  A table is up to
// three files, and no file system renames three files at once, so the swap
// is journalled.  A swap that a crash interrupted is finished or undone by
// whoever touches the table next: opening it through the engine, or the
// table utility before it reads it.  Nobody ever sees a half-swapped table.

#include <string>
#include <vector>

namespace paradox {

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
// then moves the work files in, .DB last.  `files[0]` is the .DB.  The caller
// holds the table's lock.  Raises EDatabaseError when a step fails; the
// original table is then back in place.
void swapTableFiles(const std::string& dbPath, const std::vector<SwapFile>& files);

// Finishes or undoes a swap of the table at `dbPath` interrupted by a crash,
// taking the table's lock while it does.  Returns true when a journal was
// found.  Raises ETableInUse when another process holds the table (it may be
// swapping it right now), ETableDamaged when the journal or a backup it
// needs is unusable, EDatabaseError when the files cannot be restored.
bool recoverTableSwap(const std::string& dbPath);

// Called after each step of a swap with the step's number (1 after the
// backups, 2 after the journal, 3 and on after each rename, then the last
// after the journal is removed): lets a test stop the process at that point
// as a crash would.  Null in normal use.
extern void (*swapStepHook)(int step);

// Makes a file's contents durable.
void syncFile(const std::string& path);

}  // namespace paradox
