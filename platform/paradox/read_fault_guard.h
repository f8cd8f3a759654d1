#pragma once
// Keeps a failed page-in of a mapped table file from killing the program.
//
// A file mapped into memory is read by touching it; when the system cannot
// bring a page in (a disk read error, or the file cut short by a program
// that ignores the table's lock) it raises SIGBUS at the touching
// instruction.  Inside a watched range the handler puts a zero page where
// the file's page was and records the loss, so the access goes on and the
// owner can refuse to trust the image.  Faults anywhere else go to the
// handler that was there before.

#include <cstddef>

namespace paradox {

class ReadFaultGuard {
public:
    // Watches [begin, begin + length); `begin` and `length` are multiples of
    // the system page size.  valid() is false when every watch slot is taken,
    // in which case the caller must not map the file.
    ReadFaultGuard(void* begin, std::size_t length);
    ~ReadFaultGuard();
    ReadFaultGuard(const ReadFaultGuard&) = delete;
    ReadFaultGuard& operator=(const ReadFaultGuard&) = delete;

    bool valid() const { return slot_ >= 0; }
    // Stops watching the part of the range from `length` on.
    void shorten(std::size_t length);
    // True once a page of the range could not be read.
    bool lostPages() const;

private:
    int slot_ = -1;
};

}  // namespace paradox
