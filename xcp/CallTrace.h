#pragma once
// The library's trace of contract calls (see XcpControl.h): off by default, bounded.

#include "xcp/XcpControl.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace qor::xcp {

class CallTrace {
public:
    static CallTrace& Instance();

    bool On() const { return FOn; }
    void SetOn(bool On);
    void Add(const QorXcpCall& Call);
    std::int32_t Count();
    bool Get(std::int32_t Index, QorXcpCall& Call);
    void Clear();

private:
    static constexpr std::size_t Limit = 65536;
    std::mutex FMutex;
    std::atomic<bool> FOn{false};
    std::deque<QorXcpCall> FCalls;
};

} // namespace qor::xcp
