// The library's exported functions: the three entry points of the communication library
// contract and the control API. Everything else in the library stays hidden.

#include "ecusim/SimControl.h"
#include "ecusim/Simulator.h"

#include <algorithm>
#include <cstring>
#include <string>

#define QOR_SIM_EXPORT extern "C" __attribute__((visibility("default")))

using qor::ecusim::Simulator;

namespace {
Simulator& Sim() {
    return Simulator::Instance();
}

// The image is chosen when the library is loaded, so QOR_ECUSIM_IMAGE counts as it stands
// at that moment.
[[maybe_unused]] Simulator& StartedOnLoad = Simulator::Instance();
} // namespace

QOR_SIM_EXPORT qor::TSerInterface* _CreateClassInstance() {
    return Sim().CreateInstance();
}

QOR_SIM_EXPORT std::int32_t _DestroyClassInstance(qor::TSerInterface* Instance) {
    return Sim().DestroyInstance(Instance);
}

QOR_SIM_EXPORT std::int32_t _GetDLLVersion(qor::VersionRecord* Version) {
    return Sim().GetVersion(Version);
}

QOR_SIM_EXPORT int QorSim_Reset(const char* ImagePath, char* Error, int ErrorSize) {
    std::string error;
    Sim().ResetXcp();
    if (Sim().Reset(ImagePath, error))
        return 1;
    if (Error && ErrorSize > 0) {
        std::size_t n = std::min(error.size(), static_cast<std::size_t>(ErrorSize - 1));
        std::memcpy(Error, error.data(), n);
        Error[n] = '\0';
    }
    return 0;
}

QOR_SIM_EXPORT int QorSim_GetValue(int SerialCode, int Index, std::int32_t* Value) {
    return Value && Sim().GetValue(SerialCode, Index, *Value) ? 1 : 0;
}

QOR_SIM_EXPORT int QorSim_SetValue(int SerialCode, int Index, std::int32_t Value) {
    return Sim().SetValue(SerialCode, Index, Value) ? 1 : 0;
}

QOR_SIM_EXPORT int QorSim_GetItem(int SerialCode, QorSimItem* Item) {
    return Item && Sim().GetItem(SerialCode, *Item) ? 1 : 0;
}

QOR_SIM_EXPORT int QorSim_ReadMemory(std::uint32_t Address, std::uint8_t* Dest,
                                     std::int32_t Count) {
    return Sim().ReadMemory(Address, Dest, Count) ? 1 : 0;
}

QOR_SIM_EXPORT int QorSim_WriteMemory(std::uint32_t Address, const std::uint8_t* Source,
                                      std::int32_t Count) {
    return Sim().WriteMemory(Address, Source, Count) ? 1 : 0;
}

QOR_SIM_EXPORT std::int32_t QorSim_MemorySize() {
    return static_cast<std::int32_t>(qor::ecusim::SimImage::MemorySize);
}

QOR_SIM_EXPORT std::int32_t QorSim_CallCount() {
    return Sim().CallCount();
}

QOR_SIM_EXPORT int QorSim_GetCall(std::int32_t Index, QorSimCall* Call) {
    return Call && Sim().GetCall(Index, *Call) ? 1 : 0;
}

QOR_SIM_EXPORT void QorSim_ClearLog() {
    Sim().ClearLog();
}

QOR_SIM_EXPORT void QorSim_SetObserver(QorSimObserver Observer, void* Context) {
    Sim().SetObserver(Observer, Context);
}

QOR_SIM_EXPORT void QorSim_FailNext(std::int32_t Op, std::int32_t Count) {
    Sim().FailNext(Op, Count);
}

QOR_SIM_EXPORT void QorSim_FailSerialCode(int SerialCode, int On) {
    Sim().FailSerialCode(SerialCode, On != 0);
}

QOR_SIM_EXPORT void QorSim_ClearFaults() {
    Sim().ClearFaults();
}

QOR_SIM_EXPORT void QorSim_SetStatusWord(std::int32_t Status) {
    Sim().SetStatusWord(Status, true);
}

QOR_SIM_EXPORT void QorSim_ClearStatusWord() {
    Sim().SetStatusWord(0, false);
}

QOR_SIM_EXPORT void QorSim_SetConnected(int Connected) {
    Sim().SetConnected(Connected != 0);
}

QOR_SIM_EXPORT void QorSim_SetVersion(std::uint32_t Major, std::uint32_t Minor,
                                      std::uint32_t Release, std::uint32_t Build, int Result) {
    Sim().SetVersion(qor::VersionRecord{Major, Minor, Release, Build}, Result != 0);
}

QOR_SIM_EXPORT void QorSim_SetCreateFails(int Fails) {
    Sim().SetCreateFails(Fails != 0);
}

QOR_SIM_EXPORT void QorSim_SetLive(int Live) {
    Sim().SetLive(Live != 0);
}

QOR_SIM_EXPORT std::int32_t QorSim_InstanceCount() {
    return Sim().InstanceCount();
}

QOR_SIM_EXPORT int QorSim_XcpStart(int Transport, int Port) {
    if (Transport != qxtUdp && Transport != qxtTcp)
        return 0;
    return Sim().Xcp().Start(Transport, Port);
}

QOR_SIM_EXPORT void QorSim_XcpStop() {
    Sim().Xcp().Stop();
}

QOR_SIM_EXPORT void QorSim_XcpConfigure(const QorSimXcpConfig* Config) {
    if (!Config)
        return;
    qor::ecusim::XcpSlaveConfig c;
    c.Motorola = Config->Motorola != 0;
    c.MaxCto = std::clamp(Config->MaxCto, 8, 255);
    c.MaxDto = std::clamp(Config->MaxDto, 8, 65535);
    c.MasterBlockMode = Config->MasterBlockMode != 0;
    c.MaxBlockSize = std::clamp(Config->MaxBlockSize, 1, 255);
    c.MinSeparation = std::clamp(Config->MinSeparation, 0, 255);
    Sim().Xcp().Configure(c);
}

QOR_SIM_EXPORT void QorSim_XcpAddFault(const QorSimXcpFault* Fault) {
    if (Fault)
        Sim().Xcp().AddFault(*Fault);
}

QOR_SIM_EXPORT void QorSim_XcpSetOnline(int Online) {
    Sim().Xcp().SetOnline(Online != 0);
}

QOR_SIM_EXPORT std::int32_t QorSim_XcpCommands(std::uint8_t* Codes, std::int32_t Room) {
    const std::vector<std::uint8_t> codes = Sim().Xcp().Commands();
    for (std::size_t i = 0; Codes && i < codes.size() && i < static_cast<std::size_t>(Room); ++i)
        Codes[i] = codes[i];
    return static_cast<std::int32_t>(codes.size());
}

QOR_SIM_EXPORT void QorSim_XcpClearCommands() {
    Sim().Xcp().ClearCommands();
}
