#pragma once
// The component that keeps live ECU values fresh: it owns one refresh thread (none in
// design mode) and forwards registrations to it. See link/Refreshthread.h.

#include "framework/Component.h"
#include "framework/Thread.h"
#include "link/Refreshthread.h"

#include <cstdint>
#include <memory>

namespace qor {

template <class C> class TPublisher;
class TQorConnection;

class TDataRefresher : public TComponent {
public:
    using inherited = TComponent;

    // Outside design mode creates its thread, stopped, at normal priority with a 20 ms pause.
    explicit TDataRefresher(TComponent* AOwner);
    // Empties the registry, ends the thread and waits for it, then lets go of Connection.
    ~TDataRefresher() override;

    // Published: Connection, SleepTime, Priority, AutoStart.
    static void Publish(TPublisher<TDataRefresher>& P);

    TQorConnection* Connection() const { return FConnection; }
    void SetConnection(TQorConnection* Value);
    // Milliseconds between passes; 0 or less is ignored.
    int SleepTime() const { return FSleepTime; }
    void SetSleepTime(int Value);
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority Value);
    // Whether Loaded starts the refresher once its form has been read. Off by default: the
    // application starts it.
    bool AutoStart() const { return FAutoStart; }
    void SetAutoStart(bool Value) { FAutoStart = Value; }

    // Start: passes deliver from now on (the thread is resumed). Stop: passes deliver
    // nothing and the thread suspends itself after its current pause. No effect without a
    // thread.
    void Start();
    void Stop();
    bool Running() const { return FThread && FThread->Running(); }
    // While set, every client is served on every pass, enabled and due or not.
    bool RefreshAll() const { return FThread && FThread->RefreshAll(); }
    void SetRefreshAll(bool Value);

    // Forwarded to the thread; without a thread (design mode) nothing happens and
    // RegisterClient returns true. A registered target that is destroyed without
    // unregistering loses its registrations (the refresher asks for its free notification).
    bool RegisterClient(TComponent* Target, int Interval, std::uint32_t Descriptor, int Index);
    void UnregisterClient(TComponent* Target, std::uint32_t Descriptor, int Index);
    void EnableClient(TComponent* Target, std::uint32_t Descriptor, int Index);
    void DisableClient(TComponent* Target, std::uint32_t Descriptor, int Index);

    // The worker thread; null in design mode.
    TRefreshThread* Thread() const { return FThread.get(); }

    void Loaded() override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TQorConnection* FConnection = nullptr;
    int FSleepTime = 20;
    TThreadPriority FPriority = tpNormal;
    bool FAutoStart = false;
    std::unique_ptr<TRefreshThread> FThread;
};

} // namespace qor
