#pragma once
// The rollback journal of one table: the original bytes of every page a
// change touches, made durable before the change is written to the table
// files, so that an interrupted change can be undone on the next open.

#include <array>
#include <cstdint>
#include <string>

#include "platform/paradox/file_io.h"

namespace paradox {

class PagedFile;

// The table's files in journal order: .db, .px, .mb (absent ones null).
using JournalFiles = std::array<PagedFile*, 3>;
using RecoveryFiles = std::array<const FileHandle*, 3>;

class Journal {
public:
    explicit Journal(std::string path) : path_(std::move(path)) {}
    ~Journal() = default;

    static std::string pathFor(const std::string& dbPath) { return dbPath + "-journal"; }

    // Appends a segment holding the pending changes of `files` and fsyncs it.
    void record(const JournalFiles& files);
    // Every recorded change reached the disk: later segments start afresh.
    void reset();
    // The table closes cleanly: removes the journal file.
    void remove() noexcept;

    // Undoes what an interrupted process left half done (see journal.cpp).
    // Returns true when bytes of the table files were restored.  Throws
    // EDatabaseError when the table files cannot be written to recover.
    static bool recover(const std::string& journalPath, const RecoveryFiles& files);

private:
    void openFile();

    std::string path_;
    FileHandle file_;
    std::uint64_t journalId_ = 0;
    std::uint32_t sequence_ = 0;
    std::uint64_t end_ = 0;  // where the next segment goes
};

}  // namespace paradox
