#include "import/heap_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace import {

namespace {

// The heap grows by the block asked for and this much more.  (Setting it
// also fixes the size from which malloc maps a block of its own, 128 KB
// unless the program changed it, for the rest of the process.)
constexpr int kGrowth = 32 << 20;
constexpr int kUsualPad = 128 * 1024;  // the C library's own padding
constexpr std::uintptr_t kHugePage = 2 << 20;

// The end of the main heap (sbrk(0) only reads it).  Another thread's heap
// is not followed: there it never moves, and nothing is asked.
char* HeapEnd() { return static_cast<char*>(sbrk(0)); }

}  // namespace

HeapPages::HeapPages() : padded_(mallopt(M_TOP_PAD, kGrowth) == 1), end_(HeapEnd()) {}

HeapPages::~HeapPages() {
    if (padded_) mallopt(M_TOP_PAD, kUsualPad);
}

void HeapPages::Grown() {
    char* const end = HeapEnd();
    if (end == end_) return;  // nearly always: the heap grows 32 MB at a time
    // The whole huge pages of the new stretch; the one it starts in was
    // touched already, a page of it at least.
    const auto from = (reinterpret_cast<std::uintptr_t>(end_) + kHugePage - 1) & ~(kHugePage - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(end) & ~(kHugePage - 1);
    if (end > end_ && to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    end_ = end;
}

}  // namespace import
