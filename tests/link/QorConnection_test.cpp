// TQorConnection loading the real simulator library.

#include "framework/FormStreaming.h"
#include "framework/MessageBox.h"
#include "framework/Properties.h"
#include "link/QorConnection.h"
#include "tests/framework/TempDir.h"
#include "tests/support/SimLibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace qor::test {
namespace {

namespace fs = std::filesystem;

const std::string BinDir = fs::path(QOR_ECUSIM_FILE).parent_path().string();
const std::string SimName = fs::path(QOR_ECUSIM_FILE).filename().string();

struct Shown {
    std::string Text, Caption;
    unsigned Flags;
    bool operator==(const Shown&) const = default;
};
const Shown LoadFailed{"SER dll not found or out of date!", "Connection", MB_OK | MB_ICONERROR};

bool IsInMemory(const std::string& Path) {
    void* handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

class ConnectionTest : public ::testing::Test {
protected:
    ConnectionTest()
        : Boxes([this](const std::string& Text, const std::string& Caption, unsigned Flags) {
              Messages.push_back({Text, Caption, Flags});
              return IDOK;
          }) {}

    std::vector<Shown> Messages;
    TMessageBoxHandlerGuard Boxes;
};

// The simulator under the name the strict version rule knows, beside the test program.
class VersionRule : public ConnectionTest {
protected:
    void SetUp() override { Sim.ResetDefault(); }
    TSimLibrary Sim{BinDir + "/SerQorDL.dll"};
};

TEST_F(VersionRule, RequiredMajorVersionDependsOnTheExactName) {
    const struct {
        std::string DllName;
        std::uint32_t Major, Minor;
        int Result;
        bool Loads;
    } cases[] = {
        {"SerQorDL.dll", 4, 9, 1, false},
        {"SerQorDL.dll", 5, 0, 1, true},
        {"SerQorDL.dll", 6, 2, 1, true},
        {"SerQorDL.dll", 7, 0, 0, false},          // the call itself failed
        {BinDir + "/SerQorDL.dll", 4, 0, 1, true}, // the same file under another name
        {BinDir + "/SerQorDL.dll", 0, 0, 1, false},
        {BinDir + "/serqordl.dll", 1, 0, 1, true}, // names compare case-sensitively
    };
    fs::copy_file(BinDir + "/SerQorDL.dll", BinDir + "/serqordl.dll",
                  fs::copy_options::overwrite_existing);
    struct Remove {
        ~Remove() { fs::remove(BinDir + "/serqordl.dll"); }
    } removeCopy;
    TSimLibrary lower(BinDir + "/serqordl.dll");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.DllName + " " + std::to_string(c.Major));
        TSimLibrary& sim = c.DllName.ends_with("serqordl.dll") ? lower : Sim;
        sim.ResetDefault();
        sim.SetVersion(c.Major, c.Minor, 0, 0, c.Result);
        Messages.clear();
        {
            TQorConnection con(nullptr);
            con.SetDllName(c.DllName);
            EXPECT_EQ(con.LoadDll(), c.Loads);
            EXPECT_EQ(con.DllLoaded(), c.Loads);
            EXPECT_EQ(con.SerInterface() != nullptr, c.Loads);
            EXPECT_EQ(Messages, c.Loads ? std::vector<Shown>{} : std::vector<Shown>{LoadFailed});
            EXPECT_EQ(sim.InstanceCount(), c.Loads ? 1 : 0);
        }
        EXPECT_EQ(sim.Log().front(),
                  "_GetDLLVersion(" + std::to_string(c.Major) + ")=" + std::to_string(c.Result));
        EXPECT_EQ(sim.Log().size(), c.Loads ? 5u : 1u)
            << "version, create, link state, close, destroy";
    }
}

TEST_F(ConnectionTest, EmptyNameOrDesignModeNeverLoadsAndSaysNothing) {
    TQorConnection con(nullptr);
    con.SetAutoLoadLibrary(true); // stored only: nothing loads because of it
    EXPECT_FALSE(con.LoadDll());
    con.SetDllName(SimName);
    con.SetDesigning(true);
    EXPECT_FALSE(con.LoadDll());
    EXPECT_FALSE(con.DllLoaded());
    EXPECT_EQ(con.SerInterface(), nullptr);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(ConnectionTest, MissingFileOrExportFailsWithTheMessageEveryTime) {
    for (const char* name : {"no-such-library.so", QOR_TEST_PLUGIN_PATH}) {
        SCOPED_TRACE(name);
        Messages.clear();
        TQorConnection con(nullptr);
        con.SetDllName(name);
        EXPECT_FALSE(con.LoadDll());
        EXPECT_FALSE(con.LoadDll()) << "nothing is remembered: it tries again";
        EXPECT_FALSE(con.DllLoaded());
        EXPECT_EQ(Messages, (std::vector<Shown>{LoadFailed, LoadFailed}));
    }
    EXPECT_FALSE(IsInMemory(QOR_TEST_PLUGIN_PATH)) << "a refused library is freed";
}

TEST_F(ConnectionTest, LibraryWithoutAnObjectIsRefusedAndFreed) {
    TempDir dir;
    const std::string path = dir.File("sim.so");
    fs::copy_file(QOR_ECUSIM_FILE, path);
    {
        TSimLibrary sim(path);
        sim.SetCreateFails(1);
        TQorConnection con(nullptr);
        con.SetDllName(path);
        EXPECT_FALSE(con.LoadDll());
        EXPECT_FALSE(con.DllLoaded());
        EXPECT_EQ(con.SerInterface(), nullptr);
        EXPECT_EQ(Messages, std::vector<Shown>{LoadFailed});
        EXPECT_EQ(sim.Log(),
                  (std::vector<std::string>{"_GetDLLVersion(5)=1", "_CreateClassInstance()=0"}));
        sim.SetCreateFails(0);
        EXPECT_TRUE(con.LoadDll()) << "the next call tries again";
        con.SetDllName("other.so");
        EXPECT_EQ(con.DllName(), path) << "the name stays while the library is loaded";
    }
    EXPECT_FALSE(IsInMemory(path));
}

TEST_F(ConnectionTest, DestructionClosesTheLinkDestroysTheObjectAndFreesTheLibrary) {
    for (bool linkUp : {true, false}) {
        SCOPED_TRACE(linkUp ? "link up" : "link down");
        TempDir dir;
        const std::string path = dir.File("sim.so");
        fs::copy_file(QOR_ECUSIM_FILE, path);
        std::vector<std::string> seen;
        auto con = std::make_unique<TQorConnection>(nullptr);
        con->SetDllName(path);
        ASSERT_TRUE(con->LoadDll());
        {
            // Reach the control API without holding the library: only the connection does.
            TSimLibrary sim(path, false);
            sim.SetConnected(linkUp);
            sim.ClearLog();
            sim.SetObserver(
                [](const QorSimCall* c, void* ctx) {
                    static_cast<std::vector<std::string>*>(ctx)->push_back(TSimLibrary::Format(*c));
                },
                &seen);
        }
        ASSERT_TRUE(IsInMemory(path));
        con.reset();
        EXPECT_EQ(seen, (std::vector<std::string>{
                            linkUp ? "IsConnected()=1" : "IsConnected()=0",
                            linkUp ? "Disconnect()=1" : "Shutdown()=1",
                            "_DestroyClassInstance()=1",
                        }));
        EXPECT_FALSE(IsInMemory(path));
    }
}

TEST_F(ConnectionTest, LinkLockIsReentrantForItsHolderOnly) {
    TQorConnection con(nullptr);
    TCriticalSectionGuard outer(con.LinkLock());
    ASSERT_TRUE(con.LinkLock().TryEnter()) << "the holder takes it again";
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = con.LinkLock().TryEnter(); }).join();
    EXPECT_FALSE(otherGotIt);
    con.LinkLock().Release();
    // LoadDll takes the lock too; holding it already must not block.
    TSimLibrary sim(QOR_ECUSIM_FILE);
    sim.ResetDefault();
    con.SetDllName(SimName);
    EXPECT_TRUE(con.LoadDll());
}

TEST(ConnectionStreaming, PublishedPropertiesRoundTripThroughAFormFile) {
    RegisterLinkClasses();
    TQorConnection con(nullptr);
    con.SetName("Link");
    EXPECT_EQ(WriteComponentText(con), "object Link: TQorConnection\nend\n");
    con.SetAutoLoadLibrary(true);
    con.SetDllName("SerQorDL.dll");
    const std::string text = WriteComponentText(con);
    EXPECT_EQ(text, "object Link: TQorConnection\n  AutoLoadLibrary = True\n"
                    "  DllName = 'SerQorDL.dll'\nend\n");
    std::unique_ptr<TComponent> back = ReadComponentText(text);
    auto* read = dynamic_cast<TQorConnection*>(back.get());
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->AutoLoadLibrary());
    EXPECT_EQ(read->DllName(), "SerQorDL.dll");
    EXPECT_FALSE(read->DllLoaded()) << "reading a form loads nothing";
}

} // namespace
} // namespace qor::test
