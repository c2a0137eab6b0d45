#pragma once
// The simulator's state and the semantics of every operation of the contract. One
// instance per loaded library (Instance()); every member function takes the lock.

#include "ecusim/SimControl.h"
#include "ecusim/SimImage.h"
#include "ecusim/XcpServer.h"
#include "link/SerInterface.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qor::ecusim {

class Simulator {
public:
    // The image comes from the file named by QOR_ECUSIM_IMAGE when it is set, else the
    // built-in one. A bad file leaves the simulator without objects to create.
    static Simulator& Instance();

    bool ReadData(std::uint32_t D, std::int32_t* Dest);
    bool ReadIndexed(std::uint32_t D, std::int32_t* Dest, std::int32_t Index);
    bool ReadElement(std::uint32_t D, std::int32_t* Dest, std::int32_t Row, std::int32_t Col);
    bool ReadPacket(std::uint32_t D, std::uint8_t* Dest, std::int32_t* Length);
    bool ReadAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t* Dest);
    bool WriteData(std::uint32_t D, const std::int32_t* Source);
    bool WriteValue(std::uint32_t D, std::int32_t Value);
    bool WriteIndexed(std::uint32_t D, std::int32_t Index, std::int32_t Value);
    bool WriteElement(std::uint32_t D, std::int32_t Row, std::int32_t Col, std::int32_t Value);
    bool WriteRow(std::uint32_t D, const std::int32_t* Source, std::int32_t Row);
    bool WriteAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t Value);
    bool Shutdown();
    bool Disconnect();
    bool IsConnected();
    std::int32_t GetLastStatus();

    TSerInterface* CreateInstance();
    std::int32_t DestroyInstance(TSerInterface* Instance);
    std::int32_t GetVersion(VersionRecord* Version);

    // Control API (see SimControl.h).
    bool Reset(const char* ImagePath, std::string& Error);
    bool GetValue(int Code, int Index, std::int32_t& Value);
    bool SetValue(int Code, int Index, std::int32_t Value);
    bool GetItem(int Code, QorSimItem& Item);
    bool ReadMemory(std::uint32_t Address, std::uint8_t* Dest, std::int32_t Count);
    bool WriteMemory(std::uint32_t Address, const std::uint8_t* Source, std::int32_t Count);
    std::int32_t CallCount();
    bool GetCall(std::int32_t Index, QorSimCall& Call);
    void ClearLog();
    void SetObserver(QorSimObserver Observer, void* Context);
    void FailNext(std::int32_t Op, std::int32_t Count);
    void FailSerialCode(int Code, bool On);
    void ClearFaults();
    void SetStatusWord(std::int32_t Status, bool Forced);
    void SetConnected(bool Connected);
    void SetVersion(const VersionRecord& Version, bool Result);
    void SetCreateFails(bool Fails);
    void SetLive(bool Live);
    std::int32_t InstanceCount();

    // The memory as the XCP slave sees it: extension 0 only. A read that starts at a live
    // packet moves it on first, as ReadPacket does.
    bool XcpRead(std::uint8_t Extension, std::uint32_t Address, std::uint8_t* Dest,
                 std::size_t Count);
    bool XcpWrite(std::uint8_t Extension, std::uint32_t Address, const std::uint8_t* Source,
                  std::size_t Count);
    // The XCP slave, made at its first use; its faults are cleared by ResetXcp.
    XcpServer& Xcp();
    void ResetXcp();

private:
    Simulator();

    // One logged call in progress: appended to the log when it ends; the observer is
    // called after the lock is released.
    class Call;

    void ResetControls();
    // False (with the status set) when the link is down or a fault is due for the call.
    bool Admit(Call& C, std::uint32_t D);
    // Admit, then the item of the descriptor's serial code; null with the status set.
    const SimItem* Enter(Call& C, std::uint32_t D);
    bool Fail(std::int32_t Status);
    bool Done();
    bool RowLengthFits(std::uint32_t D, const SimItem& Item);
    // ReadData and WriteData move a whole item: one value without the array bit, else a
    // vector, a one-row or a one-column map whose row length agrees with the descriptor.
    bool WholeItemFits(std::uint32_t D, const SimItem& Item);

    std::mutex FMutex;
    SimImage FImage;
    std::vector<QorSimCall> FLog;
    QorSimObserver FObserver = nullptr;
    void* FObserverContext = nullptr;
    std::map<std::int32_t, std::int32_t> FFailNext;
    std::set<int> FFailCodes;
    std::int32_t FStatus = 0;
    std::int32_t FForcedStatus = 0;
    bool FStatusForced = false;
    bool FConnected = true;
    VersionRecord FVersion;
    bool FVersionResult = true;
    bool FCreateFails = false;
    bool FLive = true;
    std::set<TSerInterface*> FInstances;

    // Last, so that the slave's thread ends before the memory it serves goes.
    std::mutex FXcpMutex;
    std::unique_ptr<XcpMemory> FXcpMemory;
    std::unique_ptr<XcpServer> FXcpServer;
};

} // namespace qor::ecusim
