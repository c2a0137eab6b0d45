#include "link/QorConnection.h"

#include "framework/MessageBox.h"
#include "framework/Properties.h"
#include "link/DataRefresher.h"

namespace qor {

namespace {
constexpr const char* LoadFailedText = "SER dll not found or out of date!";
constexpr const char* LoadFailedCaption = "Connection";
// The library name for which the newer interface is required.
constexpr const char* StrictDllName = "SerQorDL.dll";
} // namespace

TQorConnection::TQorConnection(TComponent* AOwner) : TComponent(AOwner) {}

TQorConnection::~TQorConnection() {
    if (FDllLoaded)
        UnloadDll();
}

void TQorConnection::Publish(TPublisher<TQorConnection>& P) {
    P.Bool("AutoLoadLibrary", &TQorConnection::AutoLoadLibrary, &TQorConnection::SetAutoLoadLibrary,
           false)
        .String("DllName", &TQorConnection::DllName, &TQorConnection::SetDllName);
}

void TQorConnection::SetDllName(const std::string& Value) {
    if (FDllLoaded)
        return;
    FDllName = Value;
}

std::uint32_t TQorConnection::RequiredMajorVersion(const std::string& DllName) {
    return DllName == StrictDllName ? 5u : 1u;
}

bool TQorConnection::LoadDll() {
    if (ComponentState().Contains(csDesigning))
        return false;
    if (FDllLoaded)
        return true;
    if (FDllName.empty())
        return false;
    bool loaded;
    {
        TCriticalSectionGuard lock(FLinkLock);
        loaded = TryLoad();
    }
    if (loaded)
        return true;
    FSerInterface = nullptr;
    MessageBox(LoadFailedText, LoadFailedCaption, MB_OK | MB_ICONERROR);
    return false;
}

bool TQorConnection::TryLoad() {
    if (!FLibrary.Load(FDllName))
        return false;
    auto create = reinterpret_cast<TCreateClassInstance>(FLibrary.Symbol(CreateClassInstanceName));
    auto destroy =
        reinterpret_cast<TDestroyClassInstance>(FLibrary.Symbol(DestroyClassInstanceName));
    auto version = reinterpret_cast<TGetDLLVersion>(FLibrary.Symbol(GetDLLVersionName));
    bool accepted = false;
    if (create && destroy && version) {
        VersionRecord record;
        accepted = version(&record) != 0 && record.Major >= RequiredMajorVersion(FDllName);
    }
    // A library that makes no interface object counts as not loaded, so that DllLoaded
    // never stands without an object to call.
    TSerInterface* object = accepted ? create() : nullptr;
    if (!object) {
        FLibrary.Free();
        return false;
    }
    FCreateClassInstance = create;
    FDestroyClassInstance = destroy;
    FGetDLLVersion = version;
    FSerInterface = object;
    FDllLoaded = true;
    return true;
}

void TQorConnection::UnloadDll() {
    if (!FDllLoaded)
        return;
    TCriticalSectionGuard lock(FLinkLock);
    if (FSerInterface->IsConnected())
        FSerInterface->Disconnect();
    else
        FSerInterface->Shutdown();
    FDestroyClassInstance(FSerInterface);
    FSerInterface = nullptr;
    FLibrary.Free();
    FCreateClassInstance = nullptr;
    FDestroyClassInstance = nullptr;
    FGetDLLVersion = nullptr;
    FDllLoaded = false;
}

void RegisterLinkClasses() {
    RegisterClass<TQorConnection>("TQorConnection");
    RegisterClass<TDataRefresher>("TDataRefresher");
}

} // namespace qor
