#pragma once
// The link to the ECU: loads the communication library on demand, checks its version,
// owns its one interface object and the lock under which data components call it.

#include "framework/Component.h"
#include "framework/CriticalSection.h"
#include "framework/DynamicLibrary.h"
#include "link/SerInterface.h"

#include <string>

namespace qor {

template <class C> class TPublisher;

class TQorConnection : public TComponent {
public:
    using inherited = TComponent;

    explicit TQorConnection(TComponent* AOwner);
    // Unloads the library when it is loaded (closing the link first).
    ~TQorConnection() override;

    // Published: AutoLoadLibrary, DllName.
    static void Publish(TPublisher<TQorConnection>& P);

    // Stored with the form; loading still happens at the first data operation.
    bool AutoLoadLibrary() const { return FAutoLoadLibrary; }
    void SetAutoLoadLibrary(bool Value) { FAutoLoadLibrary = Value; }

    // File name of the communication library; a name without "/" is looked for beside
    // the program first. Ignored while the library is loaded.
    const std::string& DllName() const { return FDllName; }
    void SetDllName(const std::string& Value);

    // True when the library is loaded, already or now. In design mode, or with an empty
    // DllName, false without a word. A missing file or export, a refused version or a
    // library that makes no interface object: the library is freed, the message box
    // "SER dll not found or out of date!" is shown, and false is returned; the next call
    // tries again.
    bool LoadDll();
    // Closes the link (Disconnect when it is up, else Shutdown), destroys the interface
    // object and frees the library. Only the destructor calls it.
    void UnloadDll();

    bool DllLoaded() const { return FDllLoaded; }
    // The library's interface object; null while the library is not loaded.
    TSerInterface* SerInterface() const { return FSerInterface; }
    // Re-entrant lock around every sequence of calls of the interface object.
    TCriticalSection& LinkLock() { return FLinkLock; }

    // Major version the library must report for a file name.
    static std::uint32_t RequiredMajorVersion(const std::string& DllName);

private:
    // Steps 5 to 8 of a load under LinkLock; true when loaded.
    bool TryLoad();

    bool FAutoLoadLibrary = false;
    std::string FDllName;
    bool FDllLoaded = false;
    TSerInterface* FSerInterface = nullptr;
    TDynamicLibrary FLibrary;
    TCreateClassInstance FCreateClassInstance = nullptr;
    TDestroyClassInstance FDestroyClassInstance = nullptr;
    TGetDLLVersion FGetDLLVersion = nullptr;
    TCriticalSection FLinkLock;
};

// Registers the link layer's streamable classes (TQorConnection, TDataRefresher).
void RegisterLinkClasses();

} // namespace qor
