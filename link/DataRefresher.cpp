#include "link/DataRefresher.h"

#include "framework/Properties.h"
#include "link/QorConnection.h"

namespace qor {

TDataRefresher::TDataRefresher(TComponent* AOwner) : TComponent(AOwner) {
    if (!ComponentState().Contains(csDesigning))
        FThread = MakeThread<TRefreshThread>(true, tpNormal, 20);
}

TDataRefresher::~TDataRefresher() {
    Destroying();
    if (FThread) {
        // With the registry empty, a pass still queued for the main thread finds nothing.
        FThread->ClearElements();
        FThread->RequestTermination();
        FThread->Resume();
        // Destroyed by a delivery of its own pass, the worker waits for the very call that
        // is running: freeing the thread releases and joins it without waiting for the pass.
        if (!FThread->InPass())
            FThread->WaitFor();
        FThread.reset();
    }
    if (FConnection)
        FConnection->RemoveFreeNotification(this);
    FConnection = nullptr;
}

void TDataRefresher::Publish(TPublisher<TDataRefresher>& P) {
    using R = TDataRefresher;
    P.Component<TQorConnection>("Connection", &R::Connection, &R::SetConnection)
        .Integer("SleepTime", &R::SleepTime, &R::SetSleepTime, 20)
        .Enum("Priority", &R::Priority, &R::SetPriority,
              {"tpIdle", "tpLowest", "tpLower", "tpNormal", "tpHigher", "tpHighest",
               "tpTimeCritical"},
              tpNormal)
        .Bool("AutoStart", &R::AutoStart, &R::SetAutoStart, false);
}

void TDataRefresher::SetConnection(TQorConnection* Value) {
    if (FConnection && FConnection != Value)
        FConnection->RemoveFreeNotification(this);
    if (Value)
        Value->FreeNotification(this);
    FConnection = Value;
    if (FThread)
        FThread->SetConnection(Value);
}

void TDataRefresher::SetSleepTime(int Value) {
    if (Value <= 0)
        return;
    FSleepTime = Value;
    if (FThread)
        FThread->SetSleepTime(Value);
}

void TDataRefresher::SetPriority(TThreadPriority Value) {
    if (Value < tpIdle || Value > tpTimeCritical)
        return;
    FPriority = Value;
    if (FThread)
        FThread->SetPriority(Value);
}

void TDataRefresher::Start() {
    if (!FThread)
        return;
    FThread->SetRunning(true);
    FThread->Resume();
}

void TDataRefresher::Stop() {
    if (FThread)
        FThread->SetRunning(false);
}

void TDataRefresher::SetRefreshAll(bool Value) {
    if (FThread)
        FThread->SetRefreshAll(Value);
}

bool TDataRefresher::RegisterClient(TComponent* Target, int Interval, std::uint32_t Descriptor,
                                    int Index) {
    if (!FThread)
        return true;
    const bool registered = FThread->RegisterClient(Target, Interval, Descriptor, Index);
    // The registry must not keep a target that is destroyed without unregistering.
    if (registered && Target != this)
        Target->FreeNotification(this);
    return registered;
}

void TDataRefresher::UnregisterClient(TComponent* Target, std::uint32_t Descriptor, int Index) {
    if (FThread)
        FThread->UnregisterClient(Target, Descriptor, Index);
}

void TDataRefresher::EnableClient(TComponent* Target, std::uint32_t Descriptor, int Index) {
    if (FThread)
        FThread->EnableClient(Target, Descriptor, Index);
}

void TDataRefresher::DisableClient(TComponent* Target, std::uint32_t Descriptor, int Index) {
    if (FThread)
        FThread->DisableClient(Target, Descriptor, Index);
}

void TDataRefresher::Loaded() {
    inherited::Loaded();
    if (FAutoStart)
        Start();
}

void TDataRefresher::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FConnection) {
        FConnection = nullptr;
        if (FThread)
            FThread->SetConnection(nullptr);
    }
    if (FThread)
        FThread->UnregisterTarget(AComponent);
}

} // namespace qor
