#pragma once
// The engine's failures.  Every message names the file concerned; damage is
// reported from one helper that records what was wrong and where.

#include <cstdint>
#include <string>

#include "platform/base/exception.h"

namespace paradox {

// A table file that breaks the format's rules.  `offset` is where the fault
// was found (or the file size for a truncated file).
class ETableDamaged : public EDatabaseError {
public:
    ETableDamaged(const std::string& file, std::uint64_t offset, const std::string& what);
    const std::string& file() const { return file_; }
    std::uint64_t offset() const { return offset_; }
    // The fault alone, without the advice to rebuild: what the rebuild
    // itself reports when even it cannot read the file.
    const std::string& fault() const { return fault_; }

private:
    std::string fault_;
    std::string file_;
    std::uint64_t offset_;
};

// A row whose key already exists.
class EKeyViolation : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A table held by another process.
class ETableInUse : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A table whose data file has no block left for a new row; the row is
// refused and the table stays as it was.
class ETableFull : public EDatabaseError {
public:
    ETableFull(const std::string& file, int blockSizeKiB)
        : EDatabaseError("Table " + file + " is full"), file_(file), blockSizeKiB_(blockSizeKiB) {}
    const std::string& file() const { return file_; }
    int blockSizeKiB() const { return blockSizeKiB_; }

private:
    std::string file_;
    int blockSizeKiB_;
};

[[noreturn]] void throwDamaged(const std::string& file, std::uint64_t offset,
                               const std::string& what);
// An operating-system failure on `file`; appends strerror(errno).
[[noreturn]] void throwSystemError(const std::string& action, const std::string& file, int err);

}  // namespace paradox
