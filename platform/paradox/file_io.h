#pragma once
// POSIX file access for the engine: an owning descriptor, whole-file reads,
// positioned writes, fsync, advisory locks and case-insensitive lookup of a
// table's companion files.  Every failure is an EDatabaseError naming the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

class FileHandle {
public:
    FileHandle() = default;
    FileHandle(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens an existing file, read-write when possible.  `writable` tells
    // which one was obtained.
    static FileHandle openExisting(const std::string& path, bool& writable);
    // Creates a new file (fails when it exists).
    static FileHandle createNew(const std::string& path);
    // Opens or creates a read-write file.
    static FileHandle openOrCreate(const std::string& path);

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    std::uint64_t size() const;
    std::vector<std::uint8_t> readAll() const;
    void readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) const;
    void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t n) const;
    void truncate(std::uint64_t size) const;
    void sync() const;
    // Takes an exclusive advisory lock without waiting; false when another
    // open file description (another process) holds one.
    bool tryLockExclusive() const;

private:
    int fd_ = -1;
    std::string path_;
};

bool fileExists(const std::string& path);
// The existing file whose name equals `path`'s name ignoring case, in the same
// directory; "" when there is none.  An exact match wins.
std::string findCaseInsensitive(const std::string& path);
// `path` with its extension (after the last dot of the name) replaced.
std::string withExtension(const std::string& path, const std::string& ext);
std::string directoryOf(const std::string& path);
// Makes a directory entry change (create, rename) durable.
void syncDirectory(const std::string& dir);
// True when the directory holds secondary index files (.Xnn/.Ynn) of `dbPath`.
bool hasSecondaryIndexes(const std::string& dbPath);

}  // namespace paradox
