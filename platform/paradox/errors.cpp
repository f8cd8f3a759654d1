#include "platform/paradox/errors.h"

#include <cstring>
#include <sstream>

namespace paradox {

namespace {
std::string faultMessage(const std::string& file, std::uint64_t offset, const std::string& what) {
    std::ostringstream s;
    s << "Table file " << file << " is damaged (at byte offset " << offset << "): " << what << ".";
    return s.str();
}
}  // namespace

ETableDamaged::ETableDamaged(const std::string& file, std::uint64_t offset, const std::string& what)
    : EDatabaseError(faultMessage(file, offset, what) + " Rebuild the table to repair it."),
      fault_(faultMessage(file, offset, what)),
      file_(file),
      offset_(offset) {}

void throwDamaged(const std::string& file, std::uint64_t offset, const std::string& what) {
    throw ETableDamaged(file, offset, what);
}

void throwSystemError(const std::string& action, const std::string& file, int err) {
    throw EDatabaseError("Cannot " + action + " " + file + ": " + std::strerror(err));
}

}  // namespace paradox
