#pragma once
// A named system mutex: an advisory lock on a file named after the mutex in
// the user's runtime directory ($XDG_RUNTIME_DIR, else the temporary
// directory).  The lock is held from a successful Create until the object is
// destroyed; the kernel drops it when the process ends, however it ends.

#include <QString>

class TNamedMutex {
public:
    enum class Result { Created, AlreadyExists, Failed };

    TNamedMutex() = default;
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    // Takes the mutex.  AlreadyExists when another holder has it (nothing is
    // held then), Failed when the lock file cannot be made.
    Result Create(const QString& name);
    bool Held() const { return fd_ >= 0; }
    void Close();

    // The file that carries the lock of a mutex of that name.
    static QString LockFilePath(const QString& name);
    // The folder of the per-user runtime files.
    static QString RuntimeDirectory();

private:
    int fd_ = -1;
};
