#include "framework/DynamicLibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <utility>

namespace qor {

namespace {

// The loader's last error text; it is kept per thread and read only once.
std::string LoaderError(const std::string& Fallback) {
    const char* text = dlerror();
    return text ? std::string(text) : Fallback;
}

// Where a plain file name is looked for first: next to the running program.
std::string BesideProgram(const std::string& FileName) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path candidate = program.parent_path() / FileName;
    return std::filesystem::exists(candidate, error) ? candidate.string() : std::string();
}

} // namespace

TDynamicLibrary::TDynamicLibrary(TDynamicLibrary&& Other) noexcept
    : FHandle(std::exchange(Other.FHandle, nullptr)), FFileName(std::move(Other.FFileName)),
      FErrorText(std::move(Other.FErrorText)) {}

TDynamicLibrary& TDynamicLibrary::operator=(TDynamicLibrary&& Other) noexcept {
    if (this != &Other) {
        Free();
        FHandle = std::exchange(Other.FHandle, nullptr);
        FFileName = std::move(Other.FFileName);
        FErrorText = std::move(Other.FErrorText);
    }
    return *this;
}

TDynamicLibrary::~TDynamicLibrary() {
    Free();
}

bool TDynamicLibrary::Load(const std::string& FileName) {
    Free();
    if (FileName.empty()) { // the loader would hand out the program itself
        FErrorText = "no library name given";
        return false;
    }
    std::string path = FileName;
    if (FileName.find('/') == std::string::npos)
        if (std::string beside = BesideProgram(FileName); !beside.empty())
            path = std::move(beside);
    FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) {
        FErrorText = LoaderError("cannot load " + path);
        return false;
    }
    FFileName = std::move(path);
    FErrorText.clear();
    return true;
}

void* TDynamicLibrary::Symbol(const std::string& Name) {
    if (!FHandle) {
        FErrorText = "no library loaded to look up " + Name + " in";
        return nullptr;
    }
    dlerror(); // a symbol may be null by right: only a new error text tells failure
    void* address = dlsym(FHandle, Name.c_str());
    FErrorText = address ? std::string() : LoaderError({});
    return address;
}

bool TDynamicLibrary::Free() {
    if (!FHandle)
        return true;
    const bool freed = dlclose(std::exchange(FHandle, nullptr)) == 0;
    FErrorText = freed ? std::string() : LoaderError("cannot free " + FFileName);
    FFileName.clear();
    return freed;
}

} // namespace qor
