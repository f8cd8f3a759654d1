#pragma once
// The import's failures.  Every message names the file and, where it
// applies, the line or entry, so that the user can find the fault.

#include "platform/base/exception.h"

namespace import {

// A file that cannot be read as the format says: damaged, hostile, of
// another kind, or missing.
class EImportError : public Exception {
public:
    using Exception::Exception;
};

// The user pressed Cancel: nothing was changed.
class EImportCancelled : public Exception {
public:
    EImportCancelled() : Exception("The import was cancelled; the collection is unchanged") {}
};

}  // namespace import
