#pragma once
// The hourglass while a long operation runs: the screen cursor becomes the
// wait cursor for the guard's lifetime and is set back however the scope ends.

class TCursorGuard {
public:
    TCursorGuard();
    ~TCursorGuard();
    TCursorGuard(const TCursorGuard&) = delete;
    TCursorGuard& operator=(const TCursorGuard&) = delete;
};
