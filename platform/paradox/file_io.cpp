#include "platform/paradox/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "platform/paradox/errors.h"

namespace paradox {

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

FileHandle FileHandle::openExisting(const std::string& path, bool& writable) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    writable = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throwSystemError("open", path, errno);
    return FileHandle(fd, path);
}

FileHandle FileHandle::createNew(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throwSystemError("create", path, errno);
    return FileHandle(fd, path);
}

FileHandle FileHandle::openOrCreate(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throwSystemError("open", path, errno);
    return FileHandle(fd, path);
}

std::uint64_t FileHandle::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throwSystemError("examine", path_, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::vector<std::uint8_t> FileHandle::readAll() const {
    std::vector<std::uint8_t> data(size());
    readAt(0, data.data(), data.size());
    return data;
}

void FileHandle::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) const {
    while (n > 0) {
        const ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throwSystemError("read", path_, errno);
        if (got == 0) throwDamaged(path_, offset, "the file ends early");
        out += got;
        offset += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
}

void FileHandle::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t n) const {
    while (n > 0) {
        const ssize_t put = ::pwrite(fd_, data, n, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) throwSystemError("write", path_, errno);
        data += put;
        offset += static_cast<std::uint64_t>(put);
        n -= static_cast<std::size_t>(put);
    }
}

void FileHandle::truncate(std::uint64_t size) const {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throwSystemError("resize", path_, errno);
}

void FileHandle::sync() const {
    if (::fdatasync(fd_) != 0) throwSystemError("flush to disk", path_, errno);
}

bool FileHandle::tryLockExclusive() const {
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return false;
        throwSystemError("lock", path_, errno);
    }
    return true;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

namespace {
std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

template <typename Visit>
void forEachEntry(const std::string& dir, Visit visit) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d))
        if (!visit(std::string(e->d_name))) break;
    ::closedir(d);
}
}  // namespace

std::string findCaseInsensitive(const std::string& path) {
    if (fileExists(path)) return path;
    const std::string dir = directoryOf(path);
    const std::string wanted = nameOf(path);
    std::string found;
    forEachEntry(dir, [&](const std::string& name) {
        if (::strcasecmp(name.c_str(), wanted.c_str()) == 0 && fileExists(join(dir, name))) {
            found = join(dir, name);
            return false;
        }
        return true;
    });
    return found;
}

std::string withExtension(const std::string& path, const std::string& ext) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ext;
    return path.substr(0, dot) + ext;
}

void syncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throwSystemError("open directory", dir, errno);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) throwSystemError("flush directory", dir, err);
}

bool hasSecondaryIndexes(const std::string& dbPath) {
    const std::string stem = nameOf(withExtension(dbPath, ""));
    bool found = false;
    forEachEntry(directoryOf(dbPath), [&](const std::string& name) {
        if (name.size() == stem.size() + 4 &&
            ::strncasecmp(name.c_str(), stem.c_str(), stem.size()) == 0 &&
            name[stem.size()] == '.') {
            const char kind =
                static_cast<char>(std::toupper(static_cast<unsigned char>(name[stem.size() + 1])));
            if (kind == 'X' || kind == 'Y') found = true;
        }
        return !found;
    });
    return found;
}

}  // namespace paradox
