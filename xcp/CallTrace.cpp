#include "xcp/CallTrace.h"

namespace qor::xcp {

CallTrace& CallTrace::Instance() {
    static CallTrace trace;
    return trace;
}

void CallTrace::SetOn(bool On) {
    std::lock_guard lock(FMutex);
    FOn = On;
}

void CallTrace::Add(const QorXcpCall& Call) {
    std::lock_guard lock(FMutex);
    if (!FOn)
        return;
    if (FCalls.size() == Limit)
        FCalls.pop_front();
    FCalls.push_back(Call);
}

std::int32_t CallTrace::Count() {
    std::lock_guard lock(FMutex);
    return static_cast<std::int32_t>(FCalls.size());
}

bool CallTrace::Get(std::int32_t Index, QorXcpCall& Call) {
    std::lock_guard lock(FMutex);
    if (Index < 0 || static_cast<std::size_t>(Index) >= FCalls.size())
        return false;
    Call = FCalls[static_cast<std::size_t>(Index)];
    return true;
}

void CallTrace::Clear() {
    std::lock_guard lock(FMutex);
    FCalls.clear();
}

} // namespace qor::xcp
