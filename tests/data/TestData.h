#pragma once
// Small descendants for the data tests: a number and a non-number that read one value
// through their connection, and a control that records the messages it gets.

#include "data/SerialData.h"
#include "framework/Control.h"
#include "framework/CriticalSection.h"
#include "link/QorConnection.h"

#include <vector>

namespace qor::test {

// Reads one raw value with ReadData as the descendants do: events around the transfer,
// status word under the lock, DoError on failure, DoStatus for a nonzero status.
template <class Base> class TOneValue : public Base {
public:
    using Base::Base;

    void AllocateValues() override {
        ++Allocations;
        this->FValuesAllocated = true;
        Raw = 0;
    }
    void FreeValues() override { this->FValuesAllocated = false; }
    bool ReadFromEcu() override {
        if (this->FDataValid)
            return true;
        this->DoBeforeGetData();
        TQorConnection* con = this->Connection();
        if (!con || !con->LoadDll() || !con->SerInterface()->IsConnected()) {
            this->DoError(false);
            return false;
        }
        int status;
        {
            TCriticalSectionGuard lock(con->LinkLock());
            this->FDataValid = con->SerInterface()->ReadData(this->DataDescriptor(), &Raw);
            status = con->SerInterface()->GetLastStatus();
        }
        if (this->FDataValid)
            this->DoGetData();
        else
            this->DoError(false);
        if (status != 0)
            this->DoStatus(status);
        return this->FDataValid;
    }
    void SaveValues() override {}
    void DropSavedValues() override {}
    void RestoreValues() override {}
    bool WriteToEcu() override { return false; }
    bool SaveToIni(TCustomIniFile&) override { return false; }
    bool LoadFromIni(TCustomIniFile&) override { return false; }
    void DecodePacket(const std::uint8_t*) override {}
    bool ApplyDefaults(bool WriteToEcu) override {
        Defaults.push_back(WriteToEcu);
        return true;
    }
    bool LoadCommandEntry(TCustomIniFile&) override { return false; }
    bool SaveCommandEntry(TCustomIniFile&) override { return false; }
    bool ReadCommandField(TCustomIniFile&, int, int*) override { return false; }

    std::int32_t Raw = 0;
    int Allocations = 0;
    std::vector<bool> Defaults; // ApplyDefaults calls with their write flag
};

class TTestNumber : public TOneValue<TQorNumber> {
public:
    using inherited = TQorNumber;
    using TOneValue<TQorNumber>::TOneValue;
};

class TTestVector : public TOneValue<TQorSerialData> {
public:
    using inherited = TQorSerialData;
    using TOneValue<TQorSerialData>::TOneValue;
};

class TProbeControl : public TControl {
public:
    using TControl::TControl;
    std::vector<TMessage> Messages;

protected:
    void Dispatch(TMessage& Message) override { Messages.push_back(Message); }
};

} // namespace qor::test
