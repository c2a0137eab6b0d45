// Event handlers and clients that destroy what is working: the data component itself, its
// connection, or another client, in the middle of a read or a write. The operation stops
// and reports failure, and nothing freed is touched (AddressSanitizer watches).

#include "data/SerialData.h"
#include "ecusim/SimControl.h"
#include "framework/Control.h"
#include "inistore/Qormeminifile.h"
#include "link/QorConnection.h"
#include "tests/support/SimLibrary.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace qor::test {
namespace {

constexpr int IgnitionMap = 0x03;  // map s8 16 x 16
constexpr int IdleSpeed = 0x05;    // value u16
constexpr int WarmupEnrich = 0x09; // vector u8 x 8

// A client control that runs an action for every message it gets.
class TActingControl : public TControl {
public:
    TActingControl(TComponent* AOwner, std::function<void()> OnMessage)
        : TControl(AOwner), FOnMessage(std::move(OnMessage)) {}
    int Messages = 0;

protected:
    void Dispatch(TMessage&) override {
        ++Messages;
        if (FOnMessage)
            FOnMessage();
    }

private:
    std::function<void()> FOnMessage;
};

class HandlerDestroys : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Link = new TQorConnection(&Form);
        Link->SetDllName(std::filesystem::path(QOR_ECUSIM_FILE).filename().string());
        ASSERT_TRUE(Link->LoadDll());
    }

    template <class T> T* Make(int Code, int Length = 1) {
        auto* d = new T(&Form);
        d->SetConnection(Link);
        d->SetSerialCode(Code);
        d->SetDataLength(Length);
        d->SetOnError([this](TObject*, int Code, bool Writing) {
            Errors.push_back(std::to_string(Code) + (Writing ? " writing" : " reading"));
        });
        return d;
    }
    // A handler that frees Victim (once). The handler lives in the victim: after the delete
    // it must not touch its own captures, so the pointer is cleared first.
    template <class T> static std::function<void(TObject*)> Free(T*& Victim) {
        return [&Victim](TObject*) { delete std::exchange(Victim, nullptr); };
    }

    // A number armed with a handler that frees it; the operation must report failure.
    struct TNumberCase {
        const char* Name;
        std::function<void(TQorNumber*&)> Arm;
        std::function<bool(TQorNumber&)> Operation;
    };
    void ExpectNumberGone(const TNumberCase& Case) {
        SCOPED_TRACE(Case.Name);
        Sim.ClearFaults();
        TQorNumber* number = Make<TQorNumber>(IdleSpeed, 2);
        TQorNumber* const held = number;
        Case.Arm(number);
        EXPECT_FALSE(Case.Operation(*held));
        EXPECT_EQ(number, nullptr) << "the handler did not run";
        delete number;
    }

    TSimLibrary Sim{QOR_ECUSIM_FILE};
    TComponent Form{nullptr};
    TQorConnection* Link = nullptr;
    std::vector<std::string> Errors;
};

TEST_F(HandlerDestroys, TheNumberItself) {
    const auto read = [](TQorNumber& n) {
        double v;
        return n.TryReadUserValue(v);
    };
    const auto write = [](TQorNumber& n) { return n.SetUserValue(900); };
    const TNumberCase cases[] = {
        {"BeforeGetData of a read", [&](TQorNumber*& n) { n->SetBeforeGetData(Free(n)); }, read},
        {"OnGetData of a read", [&](TQorNumber*& n) { n->SetOnGetData(Free(n)); }, read},
        {"OnError of a failed read",
         [&](TQorNumber*& n) {
             Sim.FailNext(qsoReadData, 1);
             n->SetOnError([&n](TObject* s, int, bool) { Free(n)(s); });
         },
         read},
        {"a client told of the read",
         [&](TQorNumber*& n) {
             n->AddClient(new TActingControl(&Form, [&n] { delete std::exchange(n, nullptr); }));
         },
         read},
        {"OnGetData of the read before a write", [&](TQorNumber*& n) { n->SetOnGetData(Free(n)); },
         write},
        {"BeforeSetData",
         [&](TQorNumber*& n) {
             n->SetBeforeSetData(
                 [&n](TObject* s, double*, double, int, int, bool&) { Free(n)(s); });
         },
         write},
        {"OnSetData", [&](TQorNumber*& n) { n->SetOnSetData(Free(n)); }, write},
        {"OnError of a failed write",
         [&](TQorNumber*& n) {
             Sim.FailNext(qsoAnyData, 2); // the read before the write, and the write
             n->SetOnError([&n](TObject* s, int, bool Writing) {
                 if (Writing)
                     Free(n)(s);
             });
         },
         write},
        {"OnGetData of the mask merge's re-read",
         [&](TQorNumber*& n) {
             n->SetDataMask(0x00F0);
             n->SetOnGetData(Free(n));
         },
         [](TQorNumber& n) { return n.SetEcuValue(3); }},
    };
    for (const TNumberCase& c : cases)
        ExpectNumberGone(c);
}

TEST_F(HandlerDestroys, TheConnectionBeforeTheTransfer) {
    // The read stops with OnError (no library any more); the write of a vector fails too.
    TQorNumber* number = Make<TQorNumber>(IdleSpeed, 2);
    number->SetBeforeGetData([this](TObject*) {
        delete Link;
        Link = nullptr;
    });
    double v;
    EXPECT_FALSE(number->TryReadUserValue(v));
    EXPECT_EQ(Link, nullptr);
    EXPECT_EQ(Errors, std::vector<std::string>{"-1 reading"});

    SetUp();
    Errors.clear();
    auto* vector = Make<TQorVector>(WarmupEnrich);
    vector->SetArrayDimension(8);
    vector->SetBeforeSetData([this](TObject*, double*, double, int, int, bool&) {
        delete Link;
        Link = nullptr;
    });
    Sim.ClearLog();
    EXPECT_FALSE(vector->WriteToEcu());
    EXPECT_EQ(Link, nullptr);
    EXPECT_EQ(Errors, std::vector<std::string>{"-1 writing"});
}

TEST_F(HandlerDestroys, TheMapDuringCellReadsAndWrites) {
    struct TCase {
        const char* Name;
        bool Write;
        std::function<void(TQorMatrix*&)> Arm;
    };
    const TCase cases[] = {
        {"OnGetData of a cell read", false, [&](TQorMatrix*& m) { m->SetOnGetData(Free(m)); }},
        {"OnGetData of the read before a cell write", true,
         [&](TQorMatrix*& m) { m->SetOnGetData(Free(m)); }},
        {"BeforeSetData of a cell write", true,
         [&](TQorMatrix*& m) {
             m->SetBeforeSetData(
                 [&m](TObject* s, double*, double, int, int, bool&) { Free(m)(s); });
         }},
        {"OnSetData of a cell write", true, [&](TQorMatrix*& m) { m->SetOnSetData(Free(m)); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQorMatrix* map = Make<TQorMatrix>(IgnitionMap);
        map->SetRowCount(16);
        map->SetColCount(16);
        map->SetSigned(true);
        TQorMatrix* const held = map;
        c.Arm(map);
        double v = 0;
        EXPECT_FALSE(c.Write ? held->SetCellValue(3, 4, 12.0) : held->GetCellValue(3, 4, v));
        EXPECT_EQ(map, nullptr) << "the handler did not run";
        if (map)
            delete map;
    }
}

TEST_F(HandlerDestroys, ConversionsAndTheirSources) {
    // Application code also runs inside conversions: the custom conversion events, and the
    // read of a coefficient source, whose handlers may free the object being converted.
    const auto read = [](TQorNumber& n) {
        double v;
        return n.TryReadUserValue(v);
    };
    std::uint8_t* block = nullptr;
    TMemIniData ini(block);
    const TNumberCase cases[] = {
        {"custom conversion to user units",
         [](TQorNumber*& n) {
             n->SetTransformation(ttCustom);
             n->SetOnConvertToUser([&n](TObject* s, int, double&) { Free(n)(s); });
         },
         read},
        {"custom conversion to raw",
         [](TQorNumber*& n) {
             n->SetTransformation(ttCustom);
             n->SetOnConvertToEcu([&n](TObject* s, double, int&) { Free(n)(s); });
         },
         [](TQorNumber& n) { return n.SetUserValue(3); }},
        {"the read of a coefficient source",
         [this](TQorNumber*& n) {
             n->SetTransformation(ttFormula);
             auto* source = Make<TQorNumber>(IdleSpeed, 2);
             n->SetExtCoeffA(source);
             source->SetOnGetData([&n](TObject* s) { Free(n)(s); });
         },
         read},
        {"saving to an INI section",
         [](TQorNumber*& n) {
             n->SetFileKeyName("Idle");
             n->SetTransformation(ttCustom);
             n->SetOnConvertToUser([&n](TObject* s, int, double&) { Free(n)(s); });
         },
         [&ini](TQorNumber& n) { return n.SaveToIniSection(ini, "Values"); }},
    };
    for (const TNumberCase& c : cases)
        ExpectNumberGone(c);
}

TEST_F(HandlerDestroys, TheVectorWhileItLoadsFromAnIniStore) {
    std::uint8_t* block = nullptr;
    TMemIniData ini(block);
    ini.WriteString("Values", "Warm0", "1");
    auto* vector = Make<TQorVector>(WarmupEnrich);
    vector->SetArrayDimension(8);
    vector->SetFileSection("Values");
    vector->SetFileKeyName("Warm");
    TQorVector* const held = vector;
    vector->SetOnSetData(Free(vector));
    EXPECT_FALSE(held->LoadFromIni(ini));
    EXPECT_EQ(vector, nullptr);
}

TEST_F(HandlerDestroys, ClientsDuringNotification) {
    // The first client frees itself, the second frees the third: the remaining clients
    // still hear of the change, and the freed ones are not told.
    TQorNumber* number = Make<TQorNumber>(IdleSpeed, 2);
    TActingControl* first = nullptr;
    TActingControl* third = nullptr;
    first = new TActingControl(&Form, [&] { delete std::exchange(first, nullptr); });
    auto* second = new TActingControl(&Form, [&] { delete std::exchange(third, nullptr); });
    third = new TActingControl(&Form, nullptr);
    auto* fourth = new TActingControl(&Form, nullptr);
    for (TComponent* c : std::vector<TComponent*>{first, second, third, fourth})
        number->AddClient(c);
    double v;
    EXPECT_TRUE(number->TryReadUserValue(v));
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_EQ(second->Messages, 1);
    EXPECT_EQ(fourth->Messages, 1);
    EXPECT_EQ(number->Clients().size(), 2u);
}

} // namespace
} // namespace qor::test
