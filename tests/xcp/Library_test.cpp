// The XCP library through a real connection: the description file and its errors, the
// status words of every kind of failure, and a slave that goes away and comes back.

#include "link/QorConnection.h"
#include "tests/xcp/XcpSlaveFixture.h"
#include "xcp/Description.h"
#include "xcp/XcpControl.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>

namespace qor::test {
namespace {

TEST(XcpDescription, ErrorsNameTheLine) {
    struct TCase {
        const char* Text;
        const char* Error;
    };
    const TCase cases[] = {
        {"value 5 A 0x400 u16\n", "no slave line (slave <host> <port> udp|tcp)"},
        {"slave h 0 udp\n", "line 1: port must be a number from 1 to 65535"},
        {"slave h 1 can\n", "line 1: transport must be udp or tcp"},
        {"slave h 1 udp\nvalue 5 A 0x400 u32\n",
         "line 2: unknown element type u32 (u8, s8, u16 or s16)"},
        {"slave h 1 udp\nvector 5 A 0x400 u8\n", "line 2: vector expects 5 fields"},
        {"slave h 1 udp\nmap 5 A 0x400 u8 0 4\n", "line 2: rows must be a number from 1 to 255"},
        {"slave h 1 udp\nvalue 256 A 0x400 u8\n",
         "line 2: serial code must be a number from 0 to 255"},
        {"slave h 1 udp\nvalue 5 A 300:0x400 u8\n",
         "line 2: bad address 300:0x400 (expected [extension:]address)"},
        {"slave h 1 udp\nvalue 5 A 1 u8\nvalue 5 B 2 u8\n", "line 3: serial code 5 is used twice"},
        {"slave h 1 udp\nvector 5 A 0xFFFFFFFF u16 1\n", "line 2: item A leaves the address space"},
        {"slave h 1 udp\nfrobnicate 1\n", "line 2: unknown word frobnicate"},
        {"slave h 1 udp\nmap 5 A 0x400 u8 2 2 diagonal\n",
         "line 2: map order must be row or col, not diagonal"},
        {"slave h 1 udp\nvalue 5 A 0x400 u8 col\n", "line 2: value expects 4 fields"},
        {"slave h 1 udp\nbyte_order big\n", "line 2: byte_order expects msb_first or msb_last"},
    };
    for (const TCase& c : cases) {
        xcp::DescriptionResult r = xcp::ParseDescription(c.Text);
        EXPECT_FALSE(r.Value) << c.Text;
        EXPECT_EQ(r.Error, c.Error);
    }
    xcp::DescriptionResult ok = xcp::ParseDescription(
        "slave ecu.local 5556 tcp # bench\ntimeout 50\nretries 1\naddress_extension 2\n"
        "map 0x0A Cranking 1:0x0420 s16 8 1\npacket 0x20 Live 0x800 5\n");
    ASSERT_TRUE(ok.Value) << ok.Error;
    EXPECT_EQ(ok.Value->Link.Host, "ecu.local");
    EXPECT_EQ(ok.Value->Link.Kind, xcp::TransportKind::Tcp);
    EXPECT_EQ(ok.Value->Link.Timeout, std::chrono::milliseconds(50));
    EXPECT_EQ(ok.Value->AddressExtension, 2);
    const xcp::ItemDescription* map = ok.Value->Find(0x0A);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->Extension, 1);
    EXPECT_EQ(map->Address, 0x420u);
    EXPECT_EQ(map->Rows, 8);
    EXPECT_TRUE(map->Signed);
    EXPECT_EQ(ok.Value->Find(0x20)->Cols, 5);
    EXPECT_FALSE(map->ColumnMajor);
    EXPECT_FALSE(ok.Value->DataOrder) << "the slave's byte order unless the file names one";

    ok = xcp::ParseDescription("slave h 1 udp\nbyte_order msb_first\nmap 1 M 0x100 u8 2 3 col\n");
    ASSERT_TRUE(ok.Value) << ok.Error;
    EXPECT_EQ(ok.Value->DataOrder, xcp::ByteOrder::Motorola);
    EXPECT_TRUE(ok.Value->Find(1)->ColumnMajor);
    EXPECT_EQ(ok.Value->Find(1)->CellAddress(1, 2), 0x100u + 2 * 2 + 1);
}

// The description file comes from QOR_XCP_DESCRIPTION, else from beside the library under
// its name (the build puts the simulator's description there); one that does not parse
// leaves the library without an object to hand out.
TEST(XcpDescription, FoundBesideTheLibraryOrNamedByTheEnvironment) {
    void* handle = dlopen(QOR_XCP_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(handle) << dlerror();
    auto create = reinterpret_cast<TCreateClassInstance>(dlsym(handle, CreateClassInstanceName));
    auto destroy = reinterpret_cast<TDestroyClassInstance>(dlsym(handle, DestroyClassInstanceName));
    ASSERT_TRUE(create && destroy);

    unsetenv("QOR_XCP_DESCRIPTION");
    ASSERT_TRUE(
        std::filesystem::exists(std::filesystem::path(QOR_XCP_FILE).replace_extension(".xcp")));
    TSerInterface* object = create();
    EXPECT_TRUE(object) << "the description beside the library";
    EXPECT_EQ(destroy(object), 1);
    EXPECT_EQ(destroy(object), 0) << "only objects it made and still holds";

    const std::string bad = (std::filesystem::temp_directory_path() /
                             ("qor-xcp-bad-" + std::to_string(getpid()) + ".xcp"))
                                .string();
    std::ofstream(bad) << "slave 127.0.0.1 5555 udp\nvalue 5 A 0x400 u32\n";
    setenv("QOR_XCP_DESCRIPTION", bad.c_str(), 1);
    EXPECT_FALSE(create()) << "a description that does not parse";
    unsetenv("QOR_XCP_DESCRIPTION");
    std::filesystem::remove(bad);
    dlclose(handle);
}

class XcpLibrary : public ::testing::TestWithParam<xcp::TransportKind> {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        const int port = XcpPort(GetParam());
        ASSERT_NE(port, 0);
        std::ofstream(Path) << "slave 127.0.0.1 " << port
                            << (GetParam() == xcp::TransportKind::Tcp ? " tcp\n" : " udp\n")
                            << "timeout 90\nreconnect 0\nprobe 0\n"
                            << "value 0x05 IdleSpeed 0x0400 u16\n"
                            << "map 0x04 FuelMap 0x0200 u16 16 16\n"
                            << "value 0x40 Elsewhere 1:0x0400 u8\n"
                            << "map 0x41 ByColumns 0x0200 u8 3 4 col\n"
                            << ExtraLines;
        setenv("QOR_XCP_DESCRIPTION", Path.c_str(), 1);
        Link = std::make_unique<TQorConnection>(nullptr);
        Link->SetDllName(QOR_XCP_FILE);
        ASSERT_TRUE(Link->LoadDll());
        Ser = Link->SerInterface();
    }
    void TearDown() override {
        Link.reset();
        unsetenv("QOR_XCP_DESCRIPTION");
        std::filesystem::remove(Path);
    }

    std::string Path = (std::filesystem::temp_directory_path() /
                        ("qor-xcp-library-" + std::to_string(getpid()) + ".xcp"))
                           .string();
    std::string ExtraLines;
    TSimLibrary& Sim = XcpSim();
    std::unique_ptr<TQorConnection> Link;
    TSerInterface* Ser = nullptr;
};

TEST_P(XcpLibrary, StatusWordsSayWhatWentWrong) {
    std::int32_t v = 0;
    ASSERT_TRUE(Ser->ReadData(0x205, &v));
    EXPECT_EQ(v, 850);
    EXPECT_EQ(Ser->GetLastStatus(), 0);

    struct TCase {
        const char* Name;
        std::function<bool()> Call;
        std::int32_t Status;
    };
    std::int32_t row[16] = {};
    const TCase cases[] = {
        {"unknown serial code", [&] { return Ser->ReadData(0x277, &v); }, qxsUnknownItem},
        {"a map read as one value", [&] { return Ser->ReadData(0x204, &v); }, qxsShapeMismatch},
        {"values per row that do not fit", [&] { return Ser->ReadIndexed(0x8304, row, 1); },
         qxsShapeMismatch},
        {"row outside the map", [&] { return Ser->WriteRow(0x204, row, 16); }, qxsOutOfRange},
        {"a value read as a packet",
         [&] {
             std::uint8_t b[8];
             std::int32_t n = 8;
             return Ser->ReadPacket(0x205, b, &n);
         },
         qxsShapeMismatch},
        {"an extension the slave does not know", [&] { return Ser->ReadData(0x40, &v); },
         qxsSlaveError | 0x24 << QorXcpErrorCodeShift},
        {"address past the end of the address space",
         [&] { return Ser->ReadAtAddress(0x200, 0xFFFFFFFF, &v); }, qxsBadAddress},
    };
    for (const TCase& c : cases) {
        EXPECT_FALSE(c.Call()) << c.Name;
        EXPECT_EQ(Ser->GetLastStatus(), c.Status) << c.Name;
    }

    AddXcpFault(qxfErrorPacket, qxcAnyDownload, 1, 0x23);
    EXPECT_FALSE(Ser->WriteValue(0x205, 900));
    EXPECT_EQ(Ser->GetLastStatus(), qxsSlaveError | 0x23 << QorXcpErrorCodeShift);
    EXPECT_TRUE(Ser->IsConnected()) << "an error packet is an answer";
    EXPECT_EQ(Ser->GetLastStatus(), qxsSlaveError | 0x23 << QorXcpErrorCodeShift)
        << "asking the link state keeps the status word";
    ASSERT_TRUE(Ser->WriteElement(0x204, 3, 4, 4321));
    std::int32_t cell = 0;
    ASSERT_TRUE(Sim.GetValue(0x04, 3 * 16 + 4, &cell));
    EXPECT_EQ(cell, 4321);
}

// Cell (r, c) of a map stored by columns lives at r + c * rows, whatever the operation.
TEST_P(XcpLibrary, MapStoredByColumns) {
    std::uint8_t bytes[12];
    for (int i = 0; i < 12; ++i)
        bytes[i] = static_cast<std::uint8_t>(10 + i);
    ASSERT_TRUE(Sim.WriteMemory(0x200, bytes, 12));
    std::int32_t v = 0;
    ASSERT_TRUE(Ser->ReadElement(0x41, &v, 2, 1));
    EXPECT_EQ(v, 10 + 1 * 3 + 2);
    std::int32_t row[4] = {};
    ASSERT_TRUE(Ser->ReadIndexed(0x4041, row, 1));
    EXPECT_EQ(std::vector<std::int32_t>(row, row + 4), (std::vector<std::int32_t>{11, 14, 17, 20}));

    ASSERT_TRUE(Ser->WriteElement(0x41, 0, 3, 99));
    const std::int32_t newRow[4] = {1, 2, 3, 4};
    ASSERT_TRUE(Ser->WriteRow(0x4041, newRow, 2));
    ASSERT_TRUE(Sim.ReadMemory(0x200, bytes, 12));
    EXPECT_EQ(std::vector<int>(bytes, bytes + 12),
              (std::vector<int>{10, 11, 1, 13, 14, 2, 16, 17, 3, 99, 20, 4}));
}

class XcpLibraryByteOrder : public XcpLibrary {
protected:
    void SetUp() override {
        ExtraLines = "byte_order msb_first\n";
        XcpLibrary::SetUp();
    }
};

// The description's byte order overrides the slave's for data values; the slave still
// speaks its own for addresses.
TEST_P(XcpLibraryByteOrder, DataInTheDescriptionsByteOrder) {
    const std::uint8_t idle[2] = {0x12, 0x34};
    ASSERT_TRUE(Sim.WriteMemory(0x400, idle, 2));
    std::int32_t v = 0;
    ASSERT_TRUE(Ser->ReadData(0x205, &v));
    EXPECT_EQ(v, 0x1234);
    ASSERT_TRUE(Ser->WriteValue(0x205, 0xABCD));
    std::uint8_t back[2] = {};
    ASSERT_TRUE(Sim.ReadMemory(0x400, back, 2));
    EXPECT_EQ(back[0], 0xAB);
    EXPECT_EQ(back[1], 0xCD);
}

INSTANTIATE_TEST_SUITE_P(ThreadLoopback, XcpLibraryByteOrder,
                         ::testing::Values(xcp::TransportKind::Udp, xcp::TransportKind::Tcp),
                         TransportName);

TEST_P(XcpLibrary, LostSlaveReadsAsLinkDownAndComesBackByItself) {
    std::int32_t v = 0;
    ASSERT_TRUE(Ser->IsConnected());
    AddXcpFault(qxfDropAnswer, qxcAnyUpload, 100);
    EXPECT_FALSE(Ser->ReadData(0x205, &v));
    EXPECT_EQ(Ser->GetLastStatus(), qxsTimeout);
    Sim.ResetDefault(); // the faults go, the slave stays

    Sim.XcpSetOnline(0);
    EXPECT_FALSE(Ser->IsConnected());
    EXPECT_FALSE(Ser->ReadData(0x205, &v));
    EXPECT_NE(Ser->GetLastStatus() & qxsLinkDown, 0);
    Sim.XcpSetOnline(1);
    EXPECT_TRUE(Ser->IsConnected()) << "reconnected by itself";
    EXPECT_TRUE(Ser->ReadData(0x205, &v));
    EXPECT_EQ(v, 850);
}

// The slave answers from a thread of its own: ThreadSanitizer runs these too.
INSTANTIATE_TEST_SUITE_P(ThreadLoopback, XcpLibrary,
                         ::testing::Values(xcp::TransportKind::Udp, xcp::TransportKind::Tcp),
                         TransportName);

} // namespace
} // namespace qor::test
