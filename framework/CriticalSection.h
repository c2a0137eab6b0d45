#pragma once
// A lock that the thread holding it may take again (re-entrant).

#include <mutex>

namespace qor {

class TCriticalSection {
public:
    void Acquire() { FMutex.lock(); }
    void Release() { FMutex.unlock(); }
    bool TryEnter() { return FMutex.try_lock(); }
    void Enter() { Acquire(); }
    void Leave() { Release(); }

private:
    std::recursive_mutex FMutex;
};

// Holds a critical section for the life of the guard.
class TCriticalSectionGuard {
public:
    explicit TCriticalSectionGuard(TCriticalSection& Section) : FSection(Section) {
        FSection.Acquire();
    }
    ~TCriticalSectionGuard() { FSection.Release(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
    TCriticalSection& FSection;
};

} // namespace qor
