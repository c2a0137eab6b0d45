#pragma once
// Shared libraries loaded at run time, such as the communication library, which a
// calibration program loads by file name and calls through the functions it exports.

#include <string>

namespace qor {

// Owns one loaded library; the library is freed when the object is destroyed. Each
// operation sets ErrorText to the loader's explanation when it fails and clears it when it
// succeeds.
class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    TDynamicLibrary(TDynamicLibrary&& Other) noexcept;
    TDynamicLibrary& operator=(TDynamicLibrary&& Other) noexcept;
    ~TDynamicLibrary();

    // Loads the library, freeing the one held before. A name without "/" is looked for
    // next to the running program first, then where the dynamic linker looks (its cache,
    // LD_LIBRARY_PATH, the system directories); a name with "/" is a path. Every symbol
    // is bound at once and none is made visible to libraries loaded later.
    bool Load(const std::string& FileName);

    // Address of an exported symbol, or null when there is none (or nothing is loaded).
    void* Symbol(const std::string& Name);
    // An exported function as a typed pointer, for F such as int(int, int).
    template <class F> F* Function(const std::string& Name) {
        return reinterpret_cast<F*>(Symbol(Name));
    }

    // Frees the library; false when the loader refused (the library is let go all the same).
    // True when nothing was loaded.
    bool Free();

    bool Loaded() const { return FHandle != nullptr; }
    // The file the library was loaded from, as given to the loader.
    const std::string& FileName() const { return FFileName; }
    const std::string& ErrorText() const { return FErrorText; }

private:
    void* FHandle = nullptr;
    std::string FFileName;
    std::string FErrorText;
};

} // namespace qor
