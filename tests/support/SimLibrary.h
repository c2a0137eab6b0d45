#pragma once
// Test access to the ECU simulator's control API: opens the simulator library (the same
// file a connection loads, so both see one simulator) and looks up its QorSim_ functions.

#include "ecusim/SimControl.h"

#include <algorithm>
#include <cstdio>
#include <dlfcn.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace qor::test {

class TSimLibrary {
public:
    // Opens the library at Path. With KeepOpen false the handle is closed again at once:
    // the functions stay usable only while somebody else (a connection) holds the library.
    explicit TSimLibrary(const std::string& Path, bool KeepOpen = true) {
        FHandle = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!FHandle)
            throw std::runtime_error(std::string("cannot open the simulator: ") + dlerror());
        Look(Reset, "QorSim_Reset");
        Look(GetValue, "QorSim_GetValue");
        Look(SetValue, "QorSim_SetValue");
        Look(GetItem, "QorSim_GetItem");
        Look(ReadMemory, "QorSim_ReadMemory");
        Look(WriteMemory, "QorSim_WriteMemory");
        Look(CallCount, "QorSim_CallCount");
        Look(GetCall, "QorSim_GetCall");
        Look(ClearLog, "QorSim_ClearLog");
        Look(SetObserver, "QorSim_SetObserver");
        Look(FailNext, "QorSim_FailNext");
        Look(FailSerialCode, "QorSim_FailSerialCode");
        Look(ClearFaults, "QorSim_ClearFaults");
        Look(SetStatusWord, "QorSim_SetStatusWord");
        Look(ClearStatusWord, "QorSim_ClearStatusWord");
        Look(SetConnected, "QorSim_SetConnected");
        Look(SetVersion, "QorSim_SetVersion");
        Look(SetCreateFails, "QorSim_SetCreateFails");
        Look(SetLive, "QorSim_SetLive");
        Look(InstanceCount, "QorSim_InstanceCount");
        Look(XcpStart, "QorSim_XcpStart");
        Look(XcpStop, "QorSim_XcpStop");
        Look(XcpConfigure, "QorSim_XcpConfigure");
        Look(XcpAddFault, "QorSim_XcpAddFault");
        Look(XcpSetOnline, "QorSim_XcpSetOnline");
        Look(XcpCommands, "QorSim_XcpCommands");
        Look(XcpClearCommands, "QorSim_XcpClearCommands");
        if (!KeepOpen) {
            dlclose(FHandle);
            FHandle = nullptr;
        }
    }
    ~TSimLibrary() {
        if (FHandle)
            dlclose(FHandle);
    }
    TSimLibrary(const TSimLibrary&) = delete;
    TSimLibrary& operator=(const TSimLibrary&) = delete;

    void* Handle() const { return FHandle; }

    // Back to the built-in image and the start state; fails the test run on a bad image.
    void ResetDefault() {
        char error[256] = {};
        if (!Reset(nullptr, error, sizeof error))
            throw std::runtime_error(error);
    }

    std::vector<QorSimCall> Calls() const {
        std::vector<QorSimCall> out(static_cast<std::size_t>(CallCount()));
        for (std::size_t i = 0; i < out.size(); ++i)
            GetCall(static_cast<std::int32_t>(i), &out[i]);
        return out;
    }

    // The log as text, one call a line: "ReadElement(0x103, 2, 5)=1".
    std::vector<std::string> Log() const {
        std::vector<std::string> out;
        for (const QorSimCall& c : Calls())
            out.push_back(Format(c));
        return out;
    }

    static std::string Format(const QorSimCall& c) {
        std::string text = OpName(c.Op) + "(";
        bool data = c.Op >= qsoReadData && c.Op <= qsoWriteAtAddress;
        int args = ArgCount(c.Op);
        if (data) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(c.Descriptor));
            text += hex;
        }
        for (int i = 0; i < args; ++i)
            text += (data || i > 0 ? ", " : "") + std::to_string(c.Args[i]);
        return text + ")=" + std::to_string(c.Result);
    }

    static std::string OpName(std::int32_t Op) {
        switch (Op) {
        case qsoShutdown:
            return "Shutdown";
        case qsoDisconnect:
            return "Disconnect";
        case qsoReadData:
            return "ReadData";
        case qsoReadIndexed:
            return "ReadIndexed";
        case qsoReadElement:
            return "ReadElement";
        case qsoReadPacket:
            return "ReadPacket";
        case qsoReadAtAddress:
            return "ReadAtAddress";
        case qsoWriteData:
            return "WriteData";
        case qsoWriteValue:
            return "WriteValue";
        case qsoWriteIndexed:
            return "WriteIndexed";
        case qsoWriteElement:
            return "WriteElement";
        case qsoWriteRow:
            return "WriteRow";
        case qsoWriteAtAddress:
            return "WriteAtAddress";
        case qsoIsConnected:
            return "IsConnected";
        case qsoGetLastStatus:
            return "GetLastStatus";
        case qsoCreateClassInstance:
            return "_CreateClassInstance";
        case qsoDestroyClassInstance:
            return "_DestroyClassInstance";
        case qsoGetDLLVersion:
            return "_GetDLLVersion";
        default:
            return "Op" + std::to_string(Op);
        }
    }

    decltype(&QorSim_Reset) Reset = nullptr;
    decltype(&QorSim_GetValue) GetValue = nullptr;
    decltype(&QorSim_SetValue) SetValue = nullptr;
    decltype(&QorSim_GetItem) GetItem = nullptr;
    decltype(&QorSim_ReadMemory) ReadMemory = nullptr;
    decltype(&QorSim_WriteMemory) WriteMemory = nullptr;
    decltype(&QorSim_CallCount) CallCount = nullptr;
    decltype(&QorSim_GetCall) GetCall = nullptr;
    decltype(&QorSim_ClearLog) ClearLog = nullptr;
    decltype(&QorSim_SetObserver) SetObserver = nullptr;
    decltype(&QorSim_FailNext) FailNext = nullptr;
    decltype(&QorSim_FailSerialCode) FailSerialCode = nullptr;
    decltype(&QorSim_ClearFaults) ClearFaults = nullptr;
    decltype(&QorSim_SetStatusWord) SetStatusWord = nullptr;
    decltype(&QorSim_ClearStatusWord) ClearStatusWord = nullptr;
    decltype(&QorSim_SetConnected) SetConnected = nullptr;
    decltype(&QorSim_SetVersion) SetVersion = nullptr;
    decltype(&QorSim_SetCreateFails) SetCreateFails = nullptr;
    decltype(&QorSim_SetLive) SetLive = nullptr;
    decltype(&QorSim_InstanceCount) InstanceCount = nullptr;
    decltype(&QorSim_XcpStart) XcpStart = nullptr;
    decltype(&QorSim_XcpStop) XcpStop = nullptr;
    decltype(&QorSim_XcpConfigure) XcpConfigure = nullptr;
    decltype(&QorSim_XcpAddFault) XcpAddFault = nullptr;
    decltype(&QorSim_XcpSetOnline) XcpSetOnline = nullptr;
    decltype(&QorSim_XcpCommands) XcpCommands = nullptr;
    decltype(&QorSim_XcpClearCommands) XcpClearCommands = nullptr;

    // The command codes the XCP slave received since the last look.
    std::vector<std::uint8_t> TakeXcpCommands() {
        std::vector<std::uint8_t> codes(static_cast<std::size_t>(XcpCommands(nullptr, 0)));
        const auto total = static_cast<std::size_t>(
            XcpCommands(codes.data(), static_cast<std::int32_t>(codes.size())));
        codes.resize(std::min(codes.size(), total));
        XcpClearCommands();
        return codes;
    }

private:
    static int ArgCount(std::int32_t Op) {
        switch (Op) {
        case qsoReadData:
        case qsoReadIndexed:
        case qsoReadAtAddress:
        case qsoWriteData:
        case qsoWriteValue:
        case qsoGetDLLVersion:
            return 1;
        case qsoReadElement:
        case qsoReadPacket:
        case qsoWriteIndexed:
        case qsoWriteRow:
        case qsoWriteAtAddress:
            return 2;
        case qsoWriteElement:
            return 3;
        default:
            return 0;
        }
    }

    template <class F> void Look(F& Function, const char* Name) {
        Function = reinterpret_cast<F>(dlsym(FHandle, Name));
        if (!Function)
            throw std::runtime_error(std::string("the simulator does not export ") + Name);
    }

    void* FHandle = nullptr;
};

} // namespace qor::test
