// INI values and command entries of TQorNumber, against the simulator library and the
// in-memory INI store: keys, value texts, command entries, the section and key check,
// loading with and without OldReadFileMode (the call log shows what reached the ECU).

#include "data/SerialData.h"
#include "framework/SysUtils.h"
#include "inistore/Qormeminifile.h"
#include "link/QorConnection.h"
#include "tests/data/TestData.h"
#include "tests/support/TestLink.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qor::test {
namespace {

using Lines = std::vector<std::string>;

constexpr int IdleSpeed = 0x05; // value u16, 850
constexpr int FanOnTemp = 0x07; // value u8, 135 (0x87)

class NumberIni : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Link = new TQorConnection(&Form);
        Link->SetDllName(Sim.DllName());
        ASSERT_TRUE(Link->LoadDll());
        Sim.ClearLog();
    }

    TQorNumber* Make(int Code, int Length = 1) {
        auto* n = new TQorNumber(&Form);
        n->SetConnection(Link);
        n->SetSerialCode(Code);
        n->SetDataLength(Length);
        n->SetFileSection("Values");
        n->SetFileKeyName("Fan");
        n->SetOnError([this](TObject*, int Code, bool Writing) {
            Events.push_back("OnError " + std::to_string(Code) + (Writing ? " w" : " r"));
        });
        Probe = new TProbeControl(&Form);
        n->AddClient(Probe);
        return n;
    }

    int Changes() const {
        int n = 0;
        for (const TMessage& m : Probe->Messages)
            n += m.Msg == WM_DATA_CHANGED;
        return n;
    }

    Lines TakeLog() {
        Lines log = Sim.Log();
        Sim.ClearLog();
        return log;
    }

    int SimValue(int Code) {
        std::int32_t v = 0;
        EXPECT_TRUE(Sim.GetValue(Code, 0, &v));
        return v;
    }

    Lines Section(const std::string& Name) {
        TStringList lines;
        Ini.ReadSectionValues(Name, lines);
        Lines out;
        for (int i = 0; i < lines.Count(); ++i)
            out.push_back(lines[i]);
        return out;
    }

    TTestLink Sim;
    TComponent Form{nullptr};
    TQorConnection* Link = nullptr;
    TProbeControl* Probe = nullptr;
    Lines Events;
    TMemIniBlock Block;
    TMemIniData Ini{Block.Ref()};
};

// A number without connection that holds Raw (DecodePacket takes the bytes as given).
void Hold(TQorNumber& N, int Raw) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(Raw),
                                   static_cast<std::uint8_t>(Raw >> 8)};
    N.DecodePacket(bytes);
}

TEST_F(NumberIni, KeysByTypeAndValueTexts) {
    struct TCase {
        int Row, Col;
        bool User;
        int Raw;
        const char* Line;
    };
    // ttFormula with A = 0.5 makes raw 3 the user value 1.5.
    const TCase cases[] = {
        {-1, -1, true, 3, "Gain=1.5"},          {0, -1, true, 3, "Gain0=1.5"},
        {3, -1, false, 200, "Gain3=200"},       {2, 5, true, 0xFFFF, "Gain2_5=32767.5"},
        {2, 5, false, 0xFFFF, "Gain2_5=65535"}, {0, 0, false, 0, "Gain0_0=0"},
    };
    for (const TCase& c : cases) {
        TMemIniBlock block;
        TMemIniData ini(block.Ref());
        TQorNumber n(nullptr);
        n.SetDataLength(2);
        n.SetTransformation(ttFormula);
        n.SetCoeffA(0.5);
        n.SetRowIndex(c.Row);
        n.SetColIndex(c.Col);
        n.SetFileSection("S");
        n.SetFileKeyName("Gain");
        n.SetStoreUserValue(c.User);
        Hold(n, c.Raw);
        EXPECT_TRUE(n.SaveToIni(ini));
        TStringList lines;
        ini.ReadSectionValues("S", lines);
        ASSERT_EQ(lines.Count(), 1);
        EXPECT_EQ(lines[0], c.Line);
    }
}

TEST_F(NumberIni, UserValuesUseSixSignificantDigitsAndRawValuesStayUnmasked) {
    TQorNumber n(nullptr);
    n.SetFileSection("S");
    n.SetFileKeyName("K");
    n.SetTransformation(ttFormula);
    n.SetCoeffA(12345.67);
    Hold(n, 100);
    TFormatSettingsGuard comma({',', '.'});
    ASSERT_TRUE(n.SaveToIni(Ini));
    EXPECT_EQ(Ini.ReadString("S", "K", ""), "1.23457e+06") << "always '.' and \"%g\"";

    auto* m = Make(FanOnTemp);
    m->SetDataMask(0x0F);
    m->SetStoreUserValue(false);
    m->SetFileKeyName("K");
    ASSERT_TRUE(m->ReloadFromEcu());
    ASSERT_TRUE(m->SaveToIni(Ini));
    EXPECT_EQ(Ini.ReadString("Values", "K", ""), "135") << "RawValue as held, mask and all";
}

TEST_F(NumberIni, SectionAndKeyCheck) {
    auto* n = Make(FanOnTemp);
    Ini.WriteString("Values", "Fan", "F0 7 FF 1 1 10");
    int field = 0;
    n->SetFileSection("");
    n->SetFileKeyName("");
    EXPECT_TRUE(n->SaveToIni(Ini));
    EXPECT_TRUE(n->LoadFromIni(Ini));
    EXPECT_TRUE(n->SaveCommandEntry(Ini));
    EXPECT_TRUE(n->LoadCommandEntry(Ini));
    EXPECT_FALSE(n->ReadCommandField(Ini, 0, &field)) << "unlike the other four";
    for (auto [section, key] : {std::pair{"Values", ""}, std::pair{"", "Fan"}}) {
        n->SetFileSection(section);
        n->SetFileKeyName(key);
        EXPECT_FALSE(n->SaveToIni(Ini));
        EXPECT_FALSE(n->LoadFromIni(Ini));
        EXPECT_FALSE(n->SaveCommandEntry(Ini));
        EXPECT_FALSE(n->LoadCommandEntry(Ini));
    }
    EXPECT_EQ(Section("Values"), (Lines{"Fan=F0 7 FF 1 1 10"})) << "nothing written or consumed";
    TStringList sections;
    Ini.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 1);
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(NumberIni, LoadWritesThroughTheUserWritePath) {
    auto* n = Make(FanOnTemp);
    n->SetTransformation(ttFormula);
    n->SetCoeffA(0.5);
    Ini.WriteString("Values", "Fan", "1,5"); // a comma under a '.' locale
    EXPECT_TRUE(n->LoadFromIni(Ini));
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadData(0x7, 1)=1", "GetLastStatus()=0",
                                "WriteValue(0x7, 3)=1"}))
        << "SetUserValue reads the previous value for BeforeSetData, then writes";
    EXPECT_EQ(SimValue(FanOnTemp), 3);

    n->SetStoreUserValue(false);
    Ini.WriteInteger("Values", "Fan", 0x42);
    EXPECT_TRUE(n->LoadFromIni(Ini));
    EXPECT_EQ(TakeLog(), (Lines{"WriteValue(0x7, 66)=1"}));

    TFormatSettingsGuard comma({',', '.'});
    n->SetStoreUserValue(true);
    Ini.WriteString("Values", "Fan", "2.5");
    EXPECT_TRUE(n->LoadFromIni(Ini));
    EXPECT_EQ(n->RawValue(), 5);
}

TEST_F(NumberIni, RefusedLoadsChangeNothing) {
    auto* n = Make(IdleSpeed, 2);
    ASSERT_TRUE(n->ReloadFromEcu());
    TakeLog();
    Probe->Messages.clear();
    struct TCase {
        bool User;
        const char* Text; // null: no key
    };
    const TCase cases[] = {{true, nullptr}, {false, nullptr}, {true, "abc"},
                           {true, ""},      {false, "12abc"}, {false, "1.5"}};
    for (const TCase& c : cases) {
        Ini.Clear();
        if (c.Text)
            Ini.WriteString("Values", "Fan", c.Text);
        n->SetStoreUserValue(c.User);
        EXPECT_FALSE(n->LoadFromIni(Ini)) << (c.Text ? c.Text : "(none)");
        EXPECT_EQ(n->RawValue(), 850);
    }
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(Changes(), 0);
}

TEST_F(NumberIni, FailedOrAbortedWriteSendsTheHeldValueAgain) {
    auto* n = Make(IdleSpeed, 2);
    n->SetStoreUserValue(false);
    ASSERT_TRUE(n->ReloadFromEcu());
    Ini.WriteInteger("Values", "Fan", 900);
    Sim.FailNext(qsoWriteValue, 1);
    Probe->Messages.clear();
    EXPECT_FALSE(n->LoadFromIni(Ini));
    EXPECT_EQ(n->RawValue(), 850);
    EXPECT_EQ(SimValue(IdleSpeed), 850);
    EXPECT_EQ(Changes(), 1);

    n->SetReadOnly(true);
    Probe->Messages.clear();
    EXPECT_FALSE(n->LoadFromIni(Ini));
    EXPECT_EQ(Changes(), 1);
}

TEST_F(NumberIni, ConversionErrorsNeverReachTheEcuOrTheHeldValue) {
    auto* n = Make(IdleSpeed, 2);
    n->SetTransformation(ttTabled); // no table: every conversion has no value
    ASSERT_TRUE(n->ReloadFromEcu());
    Ini.WriteString("Values", "Fan", "10");
    for (const bool old : {false, true}) {
        n->SetOldReadFileMode(old);
        TakeLog();
        EXPECT_FALSE(n->LoadFromIni(Ini)) << old;
        EXPECT_EQ(n->RawValue(), 850) << old;
        for (const std::string& call : TakeLog())
            EXPECT_EQ(call.rfind("Write", 0), std::string::npos) << call;
    }
    EXPECT_EQ(SimValue(IdleSpeed), 850);
}

TEST_F(NumberIni, OldReadFileModeStoresWithoutWriting) {
    auto* n = Make(FanOnTemp);
    n->SetOldReadFileMode(true);
    Ini.WriteString("Values", "Fan", "100");
    EXPECT_TRUE(n->LoadFromIni(Ini));
    EXPECT_EQ(n->RawValue(), 100);
    EXPECT_TRUE(TakeLog().empty()) << "full mask: the library is not called";
    EXPECT_EQ(Changes(), 1);

    n->SetStoreUserValue(false);
    Ini.WriteString("Values", "Fan", "-3");
    EXPECT_TRUE(n->LoadFromIni(Ini));
    EXPECT_EQ(n->RawValue(), -3);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(Changes(), 2);

    // A partial mask re-reads the bits around the field silently and still writes nothing.
    n->SetDataMask(0x0F);
    n->SetStoreUserValue(true);
    Ini.WriteString("Values", "Fan", "5");
    Probe->Messages.clear();
    EXPECT_TRUE(n->LoadFromIni(Ini));
    EXPECT_EQ(n->RawValue(), 0x85);
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadData(0x7, 1)=1", "GetLastStatus()=0"}));
    EXPECT_EQ(Changes(), 1) << "the re-read is silent";
    EXPECT_EQ(SimValue(FanOnTemp), 0x87);

    // When that re-read fails the held value stays.
    n->SetStoreUserValue(true);
    Ini.WriteString("Values", "Fan", "9");
    Sim.FailNext(qsoReadData, 1);
    EXPECT_FALSE(n->LoadFromIni(Ini));
    EXPECT_EQ(n->RawValue(), 0x85);
    TakeLog();

    EXPECT_TRUE(n->WriteToEcu());
    EXPECT_EQ(SimValue(FanOnTemp), 0x85);
}

TEST_F(NumberIni, SaveCommandEntryTexts) {
    struct TCase {
        int Code, Length;
        bool Signed;
        int Row, Col, Raw;
        const char* Text;
    };
    const TCase cases[] = {
        {0x21, 1, false, -1, -1, 0x7F, "F0 21 FF 1 1 7F"},
        {0x21, 2, true, -1, -1, 0x7F, "F0 621 FFFF 1 1 7F"},
        {0x21, 2, true, -1, -1, 0xFFF0, "F0 621 FFFF 1 1 FFFFFFF0"},
        {0x05, 1, false, 0, -1, 1, "F1 5 FF 1 1 1"},
        {0x05, 1, false, 1, -1, 1, "F1 5 FF 1 1 1"},
        {0x05, 1, false, 2, -1, 1, "F1 5 FF 1 2 1"},
        {0x05, 1, false, 12, 10, 1, "F2 5 FF A C 1"},
    };
    for (const TCase& c : cases) {
        TQorNumber n(nullptr);
        n.SetSerialCode(c.Code);
        n.SetDataLength(c.Length);
        n.SetSigned(c.Signed);
        n.SetRowIndex(c.Row);
        n.SetColIndex(c.Col);
        n.SetFileSection("S");
        n.SetFileKeyName("Gain");
        Hold(n, c.Raw);
        EXPECT_TRUE(n.SaveCommandEntry(Ini));
        EXPECT_EQ(Ini.ReadString("S", "Gain", ""), c.Text) << "key without index suffix";
    }
}

TEST_F(NumberIni, LoadCommandEntryWritesAndConsumesTheEntry) {
    auto* n = Make(FanOnTemp);
    n->SetOldReadFileMode(true); // not consulted: a command entry always goes to the ECU
    Ini.WriteString("Values", "Fan", "F0 21 FF 1 1 7F");
    int field = 0;
    EXPECT_TRUE(n->ReadCommandField(Ini, 5, &field));
    EXPECT_EQ(field, 0x7F);
    EXPECT_FALSE(n->ReadCommandField(Ini, 6, &field));
    EXPECT_EQ(field, 0x7F);
    EXPECT_TRUE(Ini.ValueExists("Values", "Fan")) << "reading a field keeps the entry";

    EXPECT_TRUE(n->LoadCommandEntry(Ini));
    EXPECT_EQ(TakeLog(), (Lines{"WriteValue(0x7, 127)=1"}));
    EXPECT_EQ(n->RawValue(), 0x7F);
    EXPECT_FALSE(Ini.ValueExists("Values", "Fan"));
    EXPECT_FALSE(n->LoadCommandEntry(Ini));
    EXPECT_FALSE(n->ReadCommandField(Ini, 0, &field));

    // A failed write: false and the held value sent again; the entry is gone all the same.
    Ini.WriteString("Values", "Fan", "F0 7 FF 1 1 10");
    Sim.FailNext(qsoWriteValue, 1);
    Probe->Messages.clear();
    EXPECT_FALSE(n->LoadCommandEntry(Ini));
    EXPECT_EQ(n->RawValue(), 0x7F);
    EXPECT_EQ(Changes(), 1);
    EXPECT_FALSE(Ini.ValueExists("Values", "Fan"));
    TakeLog();

    // A value field that is not hexadecimal raises; nothing is written, the entry is gone.
    Ini.WriteString("Values", "Fan", "F0 7 FF 1 1 7Z");
    EXPECT_THROW(n->LoadCommandEntry(Ini), EConvertError);
    EXPECT_FALSE(Ini.ValueExists("Values", "Fan"));
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(n->RawValue(), 0x7F);
}

TEST_F(NumberIni, PartialMaskCommandEntryMergesWithTheEcuBits) {
    auto* n = Make(FanOnTemp);
    n->SetDataMask(0xF0);
    Ini.WriteString("Values", "Fan", "F0 7 F0 1 1 3C");
    EXPECT_TRUE(n->LoadCommandEntry(Ini));
    EXPECT_EQ(SimValue(FanOnTemp), 0x37) << "0x87: low bits kept, high bits from 0x3C";
}

// A store whose reads and writes fail with an exception.
class TBrokenIni : public TMemIniData {
public:
    using TMemIniData::TMemIniData;
    std::string ReadString(const std::string&, const std::string&, const std::string&) override {
        throw std::runtime_error("read failed");
    }
    void WriteString(const std::string&, const std::string&, const std::string&) override {
        throw std::runtime_error("write failed");
    }
    bool ValueExists(const std::string&, const std::string&) override { return true; }
};

TEST_F(NumberIni, SectionCallsRestoreFileSection) {
    auto* n = Make(FanOnTemp);
    n->SetOldReadFileMode(true);
    Ini.WriteString("Other", "Fan", "42");
    EXPECT_TRUE(n->LoadFromIniSection(Ini, "Other"));
    EXPECT_EQ(n->RawValue(), 42);
    EXPECT_EQ(n->FileSection(), "Values");
    EXPECT_TRUE(n->SaveToIniSection(Ini, "Third"));
    EXPECT_EQ(Ini.ReadString("Third", "Fan", ""), "42");
    EXPECT_FALSE(Ini.SectionExists("Values"));
    EXPECT_FALSE(n->LoadFromIniSection(Ini, "Missing")) << "the inner result";

    TMemIniBlock block;
    TBrokenIni broken(block.Ref());
    EXPECT_THROW(n->SaveToIniSection(broken, "Elsewhere"), std::runtime_error);
    EXPECT_EQ(n->FileSection(), "Values");
    EXPECT_THROW(n->LoadFromIniSection(broken, "Elsewhere"), std::runtime_error);
    EXPECT_EQ(n->FileSection(), "Values");
}

// Saved, rendered into a new block, parsed by a new store over it and loaded again.
TEST_F(NumberIni, RoundTripThroughTheMemoryBlock) {
    const int raws[] = {0, 1, 0x7F, 0x80, 0xFF};
    for (const bool user : {true, false}) {
        TMemIniBlock block;
        {
            TMemIniData ini(block.Ref());
            for (int i = 0; i < 5; ++i) {
                TQorNumber n(nullptr);
                n.SetSigned(true);
                n.SetTransformation(ttFormula);
                n.SetCoeffA(0.1);
                n.SetStoreUserValue(user);
                n.SetFileSection("S");
                n.SetFileKeyName("Gain");
                n.SetRowIndex(i);
                Hold(n, raws[i]);
                ASSERT_TRUE(n.SaveToIni(ini));
            }
            ini.UpdateFile();
        }
        const std::size_t size = MemIniLengthSize + MemIniBlockLength(block.Get()) + 1;
        TMemIniData ini(block.Ref(), size);
        for (int i = 0; i < 5; ++i) {
            TQorNumber n(nullptr);
            n.SetSigned(true);
            n.SetTransformation(ttFormula);
            n.SetCoeffA(0.1);
            n.SetStoreUserValue(user);
            n.SetOldReadFileMode(true);
            n.SetFileSection("S");
            n.SetFileKeyName("Gain");
            n.SetRowIndex(i);
            ASSERT_TRUE(n.LoadFromIni(ini)) << i;
            // Signed: the bytes 0x80 and 0xFF are held as -128 and -1.
            EXPECT_EQ(n.RawValue(), static_cast<std::int8_t>(raws[i])) << i << " " << user;
        }
    }
}

} // namespace
} // namespace qor::test
