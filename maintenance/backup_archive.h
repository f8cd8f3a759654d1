#pragma once
// Backup archives: a tar file compressed with zstd (".tar.zst", which tar,
// zstd and the usual archive managers open), written and read through
// libarchive.  The first entry is the manifest, then every file of the
// collection under its name relative to the collection directory.

#include <QString>

#include "maintenance/backup_manifest.h"
#include "maintenance/backup_snapshot.h"

namespace backup {

inline constexpr const char* kArchiveSuffix = ".tar.zst";

// Writes the snapshot's files with their manifest into `archive`: first
// under a temporary name in the same folder, synced, then renamed, so that
// a crash leaves the whole archive or none.  Returns the manifest written.
// A failure (a full disk, a folder that is not writable) removes the
// temporary file and raises EBackupError naming the archive.
Manifest WriteArchive(const Snapshot& snapshot, const QString& reason, const QString& archive);

// The manifest alone (the first entry): quick, for listing backups.
Manifest ReadManifest(const QString& archive);

// Reads the whole archive and checks every file against the manifest (its
// size and SHA-256, none missing, none extra).  With `target` given, the
// files are also written there (synced) under their relative names.  A
// truncated, altered or foreign archive raises EBackupError naming it.
Manifest VerifyArchive(const QString& archive, const QString& target = QString());

}  // namespace backup
