// The library's exported functions: the three entry points of the communication library
// contract and the trace of XcpControl.h. Everything else stays hidden.
//
// The description file is the one named by QOR_XCP_DESCRIPTION, else the file beside the
// library with the library's name and the extension .xcp (libqorxcp.so: libqorxcp.xcp).
// It is read each time an interface object is made, so a program that loads the library
// again sees a changed file.

#include "xcp/CallTrace.h"
#include "xcp/XcpControl.h"
#include "xcp/XcpInterface.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#define QOR_XCP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string DescriptionPath() {
    if (const char* path = std::getenv("QOR_XCP_DESCRIPTION"); path && *path)
        return path;
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&_CreateClassInstance), &info) || !info.dli_fname)
        return {};
    return std::filesystem::path(info.dli_fname).replace_extension(".xcp").string();
}

// The objects handed out and not yet destroyed, so that only those are destroyed.
class Instances {
public:
    static Instances& Get() {
        static Instances instances;
        return instances;
    }
    qor::TSerInterface* Add(std::unique_ptr<qor::xcp::TXcpInterface> Object) {
        std::lock_guard lock(FMutex);
        qor::TSerInterface* raw = Object.get();
        FObjects.emplace(raw, std::move(Object));
        return raw;
    }
    bool Remove(qor::TSerInterface* Object) {
        std::unique_ptr<qor::xcp::TXcpInterface> owned;
        {
            std::lock_guard lock(FMutex);
            auto it = FObjects.find(Object);
            if (it == FObjects.end())
                return false;
            owned = std::move(it->second);
            FObjects.erase(it);
        }
        return true; // destroyed here, outside the lock
    }

private:
    std::mutex FMutex;
    std::map<qor::TSerInterface*, std::unique_ptr<qor::xcp::TXcpInterface>> FObjects;
};

} // namespace

QOR_XCP_EXPORT qor::TSerInterface* _CreateClassInstance() {
    const std::string path = DescriptionPath();
    qor::xcp::DescriptionResult d = qor::xcp::LoadDescription(path);
    if (!d.Value) {
        // Nobody can be told through the contract: say it on stderr and hand out no object,
        // so that the connection refuses the library.
        std::fprintf(stderr, "qorxcp: %s\n", d.Error.c_str());
        return nullptr;
    }
    return Instances::Get().Add(std::make_unique<qor::xcp::TXcpInterface>(std::move(*d.Value)));
}

QOR_XCP_EXPORT std::int32_t _DestroyClassInstance(qor::TSerInterface* Instance) {
    return Instances::Get().Remove(Instance) ? 1 : 0;
}

QOR_XCP_EXPORT std::int32_t _GetDLLVersion(qor::VersionRecord* Version) {
    if (!Version)
        return 0;
    // Major 5, so that the library may also stand in under the name SerQorDL.dll.
    *Version = qor::VersionRecord{5, 1, 0, 0};
    return 1;
}

QOR_XCP_EXPORT void QorXcp_SetTrace(int On) {
    qor::xcp::CallTrace::Instance().SetOn(On != 0);
}

QOR_XCP_EXPORT std::int32_t QorXcp_CallCount() {
    return qor::xcp::CallTrace::Instance().Count();
}

QOR_XCP_EXPORT int QorXcp_GetCall(std::int32_t Index, QorXcpCall* Call) {
    return Call && qor::xcp::CallTrace::Instance().Get(Index, *Call) ? 1 : 0;
}

QOR_XCP_EXPORT void QorXcp_ClearLog() {
    qor::xcp::CallTrace::Instance().Clear();
}
