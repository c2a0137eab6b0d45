#include "framework/DynamicLibrary.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace qor {
namespace {

// The test plugin, built into the test program's folder (bin/).
const std::string PluginName = QOR_TEST_PLUGIN_NAME;
const std::string PluginPath = QOR_TEST_PLUGIN_PATH;

// True while the process has the library at that path loaded (asked without loading it).
bool ProcessHoldsLibrary(const std::string& Path) {
    void* handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

TEST(DynamicLibrary, PluginLoadsByPlainNameOrPathAndItsFunctionRuns) {
    // Only the look-up beside the program finds the plain name: bin/ is on no search path.
    void* direct = dlopen(PluginName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (direct)
        dlclose(direct);
    ASSERT_EQ(direct, nullptr) << "the dynamic linker finds the plugin by itself";

    for (const std::string& name : {PluginName, PluginPath}) {
        SCOPED_TRACE(name);
        TDynamicLibrary library;
        ASSERT_TRUE(library.Load(name)) << library.ErrorText();
        EXPECT_TRUE(library.Loaded());
        EXPECT_EQ(library.ErrorText(), "");
        EXPECT_TRUE(ProcessHoldsLibrary(library.FileName())) << library.FileName();
        auto* add = library.Function<int(int, int)>("QorTestPluginAdd");
        ASSERT_NE(add, nullptr) << library.ErrorText();
        EXPECT_EQ(add(2, 40), 42);
    }
}

TEST(DynamicLibrary, PlainNameFallsBackToTheLinkersSearchPath) {
    TDynamicLibrary library;
    ASSERT_TRUE(library.Load("libm.so.6")) << library.ErrorText();
    auto* cosine = library.Function<double(double)>("cos");
    ASSERT_NE(cosine, nullptr) << library.ErrorText();
    EXPECT_EQ(cosine(0.0), 1.0);
}

TEST(DynamicLibrary, LoadFailuresExplainThemselves) {
    struct TCase {
        const char* What;
        std::string FileName;
        std::string InError;
    };
    const TCase cases[] = {
        {"plain name found nowhere", "libqor_no_such_library.so", "libqor_no_such_library.so"},
        {"path to no file", "/nonexistent/libqor_plugin.so", "/nonexistent/libqor_plugin.so"},
        {"not a shared library", __FILE__, "ELF"}, // this source file
        {"empty name", "", "no library name"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TDynamicLibrary library;
        EXPECT_FALSE(library.Load(c.FileName));
        EXPECT_FALSE(library.Loaded());
        EXPECT_NE(library.ErrorText().find(c.InError), std::string::npos) << library.ErrorText();
        EXPECT_EQ(library.Symbol("QorTestPluginAdd"), nullptr);
    }
}

TEST(DynamicLibrary, MissingSymbolIsNullWithErrorText) {
    TDynamicLibrary library;
    ASSERT_TRUE(library.Load(PluginName)) << library.ErrorText();
    EXPECT_EQ(library.Symbol("QorTestPluginMissing"), nullptr);
    EXPECT_NE(library.ErrorText().find("QorTestPluginMissing"), std::string::npos)
        << library.ErrorText();
    // A later success clears the text.
    EXPECT_NE(library.Symbol("QorTestPluginAdd"), nullptr);
    EXPECT_EQ(library.ErrorText(), "");
}

TEST(DynamicLibrary, FreeUnloadsTheLibraryOnce) {
    TDynamicLibrary library;
    ASSERT_TRUE(library.Load(PluginName)) << library.ErrorText();
    const std::string path = library.FileName();

    // Moving hands over the one reference: the moved-from object frees nothing.
    TDynamicLibrary owner = std::move(library);
    EXPECT_FALSE(library.Loaded());
    EXPECT_TRUE(library.Free());
    ASSERT_TRUE(ProcessHoldsLibrary(path));

    EXPECT_TRUE(owner.Free()) << owner.ErrorText();
    EXPECT_FALSE(owner.Loaded());
    EXPECT_FALSE(ProcessHoldsLibrary(path));
    EXPECT_EQ(owner.Symbol("QorTestPluginAdd"), nullptr);
    EXPECT_NE(owner.ErrorText(), "");
}

} // namespace
} // namespace qor
