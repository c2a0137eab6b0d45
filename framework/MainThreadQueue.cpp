#include "framework/MainThreadQueue.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace qor {

TMainThreadQueue& TMainThreadQueue::Instance() {
    static TMainThreadQueue queue;
    return queue;
}

TMainThreadQueue::TMainThreadQueue() : FMainThread(std::this_thread::get_id()) {}

void TMainThreadQueue::SetMainThread() {
    FMainThread = std::this_thread::get_id();
}

bool TMainThreadQueue::IsMainThread() const {
    return FMainThread.load() == std::this_thread::get_id();
}

void TMainThreadQueue::RequireMainThread(const char* Operation) const {
    if (!IsMainThread())
        throw EThread(std::string(Operation) + " must be called on the main thread");
}

bool TMainThreadQueue::Send(TSyncChannel& Channel, std::function<void()> Call) {
    if (IsMainThread()) {
        Call();
        return true;
    }
    auto request = std::make_shared<TRequest>();
    request->Channel = &Channel;
    request->Call = std::move(Call);
    std::function<void()> wakeup;
    {
        std::lock_guard lock(FMutex);
        if (Channel.FClosed)
            return false;
        FQueue.push_back(request);
        wakeup = FWakeup;
    }
    FArrived.notify_all();
    if (wakeup)
        wakeup();
    std::unique_lock lock(FMutex);
    FSettled.wait(lock, [&] { return request->Settled; });
    if (request->Error)
        std::rethrow_exception(request->Error);
    return request->Ran;
}

void TMainThreadQueue::RunFront(std::unique_lock<std::mutex>& Lock) {
    TRequestPtr request = FQueue.front();
    FQueue.pop_front();
    FRunning.push_back(request);
    Lock.unlock();
    std::exception_ptr error;
    try {
        request->Call();
    } catch (...) {
        error = std::current_exception();
    }
    Lock.lock();
    FRunning.erase(std::find(FRunning.begin(), FRunning.end(), request));
    if (!request->Settled) { // a closed channel's sender no longer waits for the result
        request->Error = error;
        request->Ran = true;
        request->Settled = true;
    }
    FSettled.notify_all();
}

bool TMainThreadQueue::CheckSynchronize(int TimeoutMs) {
    RequireMainThread("CheckSynchronize");
    std::unique_lock lock(FMutex);
    if (TimeoutMs > 0)
        FArrived.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                          [&] { return !FQueue.empty(); });
    bool ranAny = false;
    while (!FQueue.empty()) {
        RunFront(lock);
        ranAny = true;
    }
    return ranAny;
}

void TMainThreadQueue::RunUntil(const std::function<bool()>& Done) {
    RequireMainThread("RunUntil");
    std::unique_lock lock(FMutex);
    for (;;) {
        FArrived.wait(lock, [&] { return !FQueue.empty() || Done(); });
        if (FQueue.empty())
            return;
        RunFront(lock);
    }
}

void TMainThreadQueue::Wake() {
    // Taking the lock orders this after a waiter's test of its condition.
    std::lock_guard lock(FMutex);
    FArrived.notify_all();
}

void TMainThreadQueue::Close(TSyncChannel& Channel) {
    std::lock_guard lock(FMutex);
    Channel.FClosed = true;
    auto isChannels = [&](const TRequestPtr& r) { return r->Channel == &Channel; };
    for (const TRequestPtr& r : FQueue)
        if (isChannels(r))
            r->Settled = true;
    std::erase_if(FQueue, isChannels);
    for (const TRequestPtr& r : FRunning)
        if (isChannels(r)) {
            r->Settled = true;
            r->Channel = nullptr; // the channel may be gone before the call returns
        }
    FSettled.notify_all();
}

std::function<void()> TMainThreadQueue::SetWakeup(std::function<void()> Wakeup) {
    std::lock_guard lock(FMutex);
    std::swap(FWakeup, Wakeup);
    return Wakeup;
}

void SetMainThread() {
    TMainThreadQueue::Instance().SetMainThread();
}

bool IsMainThread() {
    return TMainThreadQueue::Instance().IsMainThread();
}

bool CheckSynchronize(int TimeoutMs) {
    return TMainThreadQueue::Instance().CheckSynchronize(TimeoutMs);
}

std::function<void()> SetSynchronizeWakeup(std::function<void()> Wakeup) {
    return TMainThreadQueue::Instance().SetWakeup(std::move(Wakeup));
}

} // namespace qor
