#include "platform/paradox/read_fault_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace paradox {

namespace {

// The watched ranges.  The signal handler reads them, so they are fixed
// slots of lock-free atomics rather than a container.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<std::uintptr_t> begin{0}, end{0};
    std::atomic<bool> lost{false};
};
constexpr int kSlots = 64;
std::array<Slot, kSlots> slots;

struct sigaction previousAction;
std::uintptr_t pageBytes = 4096;  // set before the handler is installed

void passOn(int signal, siginfo_t* info, void* context) {
    if (previousAction.sa_flags & SA_SIGINFO) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
        return;
    }
    // Back to the default action; returning re-runs the faulting access,
    // which now ends the program as it would have without this guard.
    sigaction(SIGBUS, &previousAction, nullptr);
}

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : slots) {
        if (!slot.taken.load() || address < slot.begin.load() || address >= slot.end.load())
            continue;
        void* page = reinterpret_cast<void*>(address & ~(pageBytes - 1));
        // mmap is a plain system call here, safe in a handler.
        if (mmap(page, pageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                 -1, 0) == MAP_FAILED)
            break;
        slot.lost.store(true);
        return;
    }
    passOn(signal, info, context);
}

void installHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        pageBytes = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previousAction);
    });
}

}  // namespace

ReadFaultGuard::ReadFaultGuard(void* begin, std::size_t length) {
    installHandler();
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!slots[i].taken.compare_exchange_strong(expected, true)) continue;
        slots[i].lost.store(false);
        slots[i].end.store(0);  // no address matches while the range is set
        slots[i].begin.store(reinterpret_cast<std::uintptr_t>(begin));
        slots[i].end.store(reinterpret_cast<std::uintptr_t>(begin) + length);
        slot_ = i;
        return;
    }
}

ReadFaultGuard::~ReadFaultGuard() {
    if (slot_ < 0) return;
    slots[slot_].end.store(0);
    slots[slot_].begin.store(0);
    slots[slot_].taken.store(false);
}

void ReadFaultGuard::shorten(std::size_t length) {
    if (slot_ < 0) return;
    Slot& slot = slots[slot_];
    const std::uintptr_t end = slot.begin.load() + length;
    if (end < slot.end.load()) slot.end.store(end);
}

bool ReadFaultGuard::lostPages() const { return slot_ >= 0 && slots[slot_].lost.load(); }

}  // namespace paradox
