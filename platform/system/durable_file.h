#pragma once
// Whole-file copies and making files durable, for the collection's backups
// and restores.  Failures are Exceptions naming the file and the reason the
// system gave (a full disk, a folder that is not writable).

#include <QString>

namespace durable {

// Copies `from` to a new file `to` (replacing one that exists) inside the
// kernel, without passing the bytes through the process.
void CopyFile(const QString& from, const QString& to);
// Makes a file's contents, or a directory's entries, reach the disk.
void SyncFile(const QString& path);
void SyncDirectory(const QString& path);
// Renames `from` over `to` in one step, then syncs the directory of `to`.
void RenameDurably(const QString& from, const QString& to);

}  // namespace durable
