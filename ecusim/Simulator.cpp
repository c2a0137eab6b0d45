#include "ecusim/Simulator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace qor::ecusim {
namespace {

// The interface object handed out by _CreateClassInstance; every operation goes to the
// one simulator of the library.
class TSimInterface final : public TSerInterface {
public:
    explicit TSimInterface(Simulator& Sim) : FSim(Sim) {}

    bool Shutdown() override { return FSim.Shutdown(); }
    bool Disconnect() override { return FSim.Disconnect(); }
    bool ReadData(std::uint32_t D, std::int32_t* Dest) override { return FSim.ReadData(D, Dest); }
    bool ReadIndexed(std::uint32_t D, std::int32_t* Dest, std::int32_t Index) override {
        return FSim.ReadIndexed(D, Dest, Index);
    }
    bool ReadElement(std::uint32_t D, std::int32_t* Dest, std::int32_t Row,
                     std::int32_t Col) override {
        return FSim.ReadElement(D, Dest, Row, Col);
    }
    bool ReadPacket(std::uint32_t D, std::uint8_t* Dest, std::int32_t* Length) override {
        return FSim.ReadPacket(D, Dest, Length);
    }
    bool ReadAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t* Dest) override {
        return FSim.ReadAtAddress(D, Address, Dest);
    }
    bool WriteData(std::uint32_t D, const std::int32_t* Source) override {
        return FSim.WriteData(D, Source);
    }
    bool WriteValue(std::uint32_t D, std::int32_t Value) override {
        return FSim.WriteValue(D, Value);
    }
    bool WriteIndexed(std::uint32_t D, std::int32_t Index, std::int32_t Value) override {
        return FSim.WriteIndexed(D, Index, Value);
    }
    bool WriteElement(std::uint32_t D, std::int32_t Row, std::int32_t Col,
                      std::int32_t Value) override {
        return FSim.WriteElement(D, Row, Col, Value);
    }
    bool WriteRow(std::uint32_t D, const std::int32_t* Source, std::int32_t Row) override {
        return FSim.WriteRow(D, Source, Row);
    }
    bool WriteAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t Value) override {
        return FSim.WriteAtAddress(D, Address, Value);
    }
    bool IsConnected() override { return FSim.IsConnected(); }
    std::int32_t GetLastStatus() override { return FSim.GetLastStatus(); }

private:
    Simulator& FSim;
};

// The image memory handed to the XCP slave.
class SimXcpMemory final : public XcpMemory {
public:
    explicit SimXcpMemory(Simulator& Sim) : FSim(Sim) {}
    bool Read(std::uint8_t Extension, std::uint32_t Address, std::uint8_t* Dest,
              std::size_t Count) override {
        return FSim.XcpRead(Extension, Address, Dest, Count);
    }
    bool Write(std::uint8_t Extension, std::uint32_t Address, const std::uint8_t* Source,
               std::size_t Count) override {
        return FSim.XcpWrite(Extension, Address, Source, Count);
    }

private:
    Simulator& FSim;
};

bool IsMatrixLike(const SimItem& Item) {
    return Item.Kind != ItemKind::Packet;
}

} // namespace

class Simulator::Call {
public:
    Call(Simulator& Sim, std::int32_t Op, std::uint32_t Descriptor, std::int32_t A0 = 0,
         std::int32_t A1 = 0, std::int32_t A2 = 0)
        : FSim(Sim), FLock(Sim.FMutex) {
        Entry.Op = Op;
        Entry.Descriptor = Descriptor;
        Entry.Args[0] = A0;
        Entry.Args[1] = A1;
        Entry.Args[2] = A2;
        Entry.Result = 0;
    }

    // Logs the call with its result, then tells the observer outside the lock.
    std::int32_t End(std::int32_t Result) {
        Entry.Result = Result;
        FSim.FLog.push_back(Entry);
        QorSimObserver observer = FSim.FObserver;
        void* context = FSim.FObserverContext;
        QorSimCall copy = Entry;
        FLock.unlock();
        if (observer)
            observer(&copy, context);
        return Result;
    }
    bool End(bool Result) { return End(std::int32_t(Result ? 1 : 0)) != 0; }

    QorSimCall Entry;

private:
    Simulator& FSim;
    std::unique_lock<std::mutex> FLock;
};

Simulator& Simulator::Instance() {
    static Simulator sim;
    return sim;
}

Simulator::Simulator() {
    std::string error;
    const char* path = std::getenv("QOR_ECUSIM_IMAGE");
    if (!Reset(path, error)) {
        // Nobody can be told through the contract: say it on stderr and hand out no
        // object, so that the connection refuses the library.
        std::fprintf(stderr, "ecusim: %s\n", error.c_str());
        FCreateFails = true;
    }
}

void Simulator::ResetControls() {
    FLog.clear();
    FFailNext.clear();
    FFailCodes.clear();
    FStatus = 0;
    FForcedStatus = 0;
    FStatusForced = false;
    FConnected = true;
    FVersion = VersionRecord{5, 0, 0, 0};
    FVersionResult = true;
    FCreateFails = false;
    FLive = true;
}

bool Simulator::Fail(std::int32_t Status) {
    FStatus = Status;
    return false;
}

bool Simulator::Done() {
    FStatus = 0;
    return true;
}

bool Simulator::Admit(Call& C, std::uint32_t D) {
    if (!FConnected)
        return Fail(qssNotConnected);
    for (std::int32_t op : {C.Entry.Op, std::int32_t(qsoAnyData)}) {
        auto it = FFailNext.find(op);
        if (it != FFailNext.end() && it->second > 0) {
            --it->second;
            return Fail(qssInjected);
        }
    }
    if (FFailCodes.count(static_cast<int>(DescriptorSerialCode(D))))
        return Fail(qssInjected);
    return true;
}

const SimItem* Simulator::Enter(Call& C, std::uint32_t D) {
    if (!Admit(C, D))
        return nullptr;
    const SimItem* item = FImage.Find(static_cast<int>(DescriptorSerialCode(D)));
    if (!item)
        Fail(qssUnknownCode);
    return item;
}

// Values per row given in the descriptor must be the item's row length, so that a
// caller whose row is shorter is refused instead of written past.
bool Simulator::RowLengthFits(std::uint32_t D, const SimItem& Item) {
    const std::uint32_t perRow = DescriptorValuesPerRow(D);
    return perRow == 0 || perRow == static_cast<std::uint32_t>(Item.Cols);
}

bool Simulator::WholeItemFits(std::uint32_t D, const SimItem& Item) {
    if (!IsMatrixLike(Item))
        return false;
    if (!(D & ddArray))
        return Item.Elements() == 1;
    return (Item.Rows == 1 || Item.Cols == 1) && RowLengthFits(D, Item);
}

bool Simulator::ReadData(std::uint32_t D, std::int32_t* Dest) {
    Call c(*this, qsoReadData, D);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    if (!Dest || !WholeItemFits(D, *item))
        return c.End(Fail(qssShapeMismatch));
    for (int i = 0; i < item->Elements(); ++i)
        Dest[i] = FImage.Get(*item, i);
    c.Entry.Args[0] = item->Elements();
    return c.End(Done());
}

bool Simulator::WriteData(std::uint32_t D, const std::int32_t* Source) {
    Call c(*this, qsoWriteData, D);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    if (!Source || !WholeItemFits(D, *item))
        return c.End(Fail(qssShapeMismatch));
    for (int i = 0; i < item->Elements(); ++i)
        FImage.Set(*item, i, Source[i]);
    c.Entry.Args[0] = item->Elements();
    return c.End(Done());
}

bool Simulator::WriteValue(std::uint32_t D, std::int32_t Value) {
    Call c(*this, qsoWriteValue, D, Value);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    // One value: a single value, a one-element vector or a 1 x 1 map.
    if (!IsMatrixLike(*item) || item->Elements() != 1)
        return c.End(Fail(qssShapeMismatch));
    FImage.Set(*item, 0, Value);
    return c.End(Done());
}

bool Simulator::ReadIndexed(std::uint32_t D, std::int32_t* Dest, std::int32_t Index) {
    Call c(*this, qsoReadIndexed, D, Index);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    if (!Dest || !IsMatrixLike(*item))
        return c.End(Fail(qssShapeMismatch));
    if (item->Kind == ItemKind::Map && item->Cols > 1) { // one row of a map
        if (!RowLengthFits(D, *item))
            return c.End(Fail(qssShapeMismatch));
        if (Index < 0 || Index >= item->Rows)
            return c.End(Fail(qssOutOfRange));
        for (int col = 0; col < item->Cols; ++col)
            Dest[col] = FImage.Get(*item, Index * item->Cols + col);
        return c.End(Done());
    }
    if (Index < 0 || Index >= item->Elements()) // one element of a vector or column
        return c.End(Fail(qssOutOfRange));
    *Dest = FImage.Get(*item, Index);
    return c.End(Done());
}

bool Simulator::WriteIndexed(std::uint32_t D, std::int32_t Index, std::int32_t Value) {
    Call c(*this, qsoWriteIndexed, D, Index, Value);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    // One element of a vector, a one-row or a one-column map.
    if (!IsMatrixLike(*item) || (item->Rows > 1 && item->Cols > 1))
        return c.End(Fail(qssShapeMismatch));
    if (Index < 0 || Index >= item->Elements())
        return c.End(Fail(qssOutOfRange));
    FImage.Set(*item, Index, Value);
    return c.End(Done());
}

bool Simulator::ReadElement(std::uint32_t D, std::int32_t* Dest, std::int32_t Row,
                            std::int32_t Col) {
    Call c(*this, qsoReadElement, D, Row, Col);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    if (!Dest || !IsMatrixLike(*item))
        return c.End(Fail(qssShapeMismatch));
    if (Row < 0 || Row >= item->Rows || Col < 0 || Col >= item->Cols)
        return c.End(Fail(qssOutOfRange));
    *Dest = FImage.Get(*item, Row * item->Cols + Col);
    return c.End(Done());
}

bool Simulator::WriteElement(std::uint32_t D, std::int32_t Row, std::int32_t Col,
                             std::int32_t Value) {
    Call c(*this, qsoWriteElement, D, Row, Col);
    c.Entry.Args[2] = Value;
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    if (!IsMatrixLike(*item))
        return c.End(Fail(qssShapeMismatch));
    if (Row < 0 || Row >= item->Rows || Col < 0 || Col >= item->Cols)
        return c.End(Fail(qssOutOfRange));
    FImage.Set(*item, Row * item->Cols + Col, Value);
    return c.End(Done());
}

bool Simulator::WriteRow(std::uint32_t D, const std::int32_t* Source, std::int32_t Row) {
    Call c(*this, qsoWriteRow, D, Row);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    if (!Source || !IsMatrixLike(*item) || !RowLengthFits(D, *item))
        return c.End(Fail(qssShapeMismatch));
    if (Row < 0 || Row >= item->Rows)
        return c.End(Fail(qssOutOfRange));
    for (int col = 0; col < item->Cols; ++col)
        FImage.Set(*item, Row * item->Cols + col, Source[col]);
    c.Entry.Args[1] = item->Cols;
    return c.End(Done());
}

bool Simulator::ReadPacket(std::uint32_t D, std::uint8_t* Dest, std::int32_t* Length) {
    Call c(*this, qsoReadPacket, D, Length ? *Length : 0);
    const SimItem* item = Enter(c, D);
    if (!item)
        return c.End(false);
    if (!Dest || !Length || item->Kind != ItemKind::Packet)
        return c.End(Fail(qssShapeMismatch));
    if (*Length < item->Cols)
        return c.End(Fail(qssNoRoom));
    if (item->Live && FLive)
        FImage.StepLive();
    for (int i = 0; i < item->Cols; ++i)
        Dest[i] = FImage.Memory()[item->Address + static_cast<std::uint32_t>(i)];
    *Length = item->Cols;
    c.Entry.Args[1] = item->Cols;
    return c.End(Done());
}

bool Simulator::ReadAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t* Dest) {
    Call c(*this, qsoReadAtAddress, D, static_cast<std::int32_t>(Address));
    if (!Admit(c, D)) // address operations need no item
        return c.End(false);
    const int width = (D & ddTwoBytes) ? 2 : 1;
    if (!Dest)
        return c.End(Fail(qssShapeMismatch));
    if (!FImage.InMemory(Address, static_cast<std::uint32_t>(width)))
        return c.End(Fail(qssBadAddress));
    *Dest = FImage.Load(Address, width, (D & ddSigned) != 0);
    return c.End(Done());
}

bool Simulator::WriteAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t Value) {
    Call c(*this, qsoWriteAtAddress, D, static_cast<std::int32_t>(Address), Value);
    if (!Admit(c, D))
        return c.End(false);
    const int width = (D & ddTwoBytes) ? 2 : 1;
    if (!FImage.InMemory(Address, static_cast<std::uint32_t>(width)))
        return c.End(Fail(qssBadAddress));
    FImage.Store(Address, width, Value);
    return c.End(Done());
}

bool Simulator::Shutdown() {
    Call c(*this, qsoShutdown, 0);
    return c.End(true);
}

bool Simulator::Disconnect() {
    Call c(*this, qsoDisconnect, 0);
    return c.End(true);
}

bool Simulator::IsConnected() {
    Call c(*this, qsoIsConnected, 0);
    return c.End(FConnected);
}

std::int32_t Simulator::GetLastStatus() {
    Call c(*this, qsoGetLastStatus, 0);
    return c.End(FStatusForced ? FForcedStatus : FStatus);
}

TSerInterface* Simulator::CreateInstance() {
    Call c(*this, qsoCreateClassInstance, 0);
    TSerInterface* object = nullptr;
    if (!FCreateFails) {
        object = new TSimInterface(*this);
        FInstances.insert(object);
    }
    c.End(object != nullptr);
    return object;
}

std::int32_t Simulator::DestroyInstance(TSerInterface* Instance) {
    Call c(*this, qsoDestroyClassInstance, 0);
    // Only objects made here are destroyed; anything else is refused.
    if (!Instance || !FInstances.erase(Instance))
        return c.End(std::int32_t(0));
    delete static_cast<TSimInterface*>(Instance);
    return c.End(std::int32_t(1));
}

std::int32_t Simulator::GetVersion(VersionRecord* Version) {
    Call c(*this, qsoGetDLLVersion, 0, static_cast<std::int32_t>(FVersion.Major));
    if (!Version)
        return c.End(std::int32_t(0));
    *Version = FVersion;
    return c.End(std::int32_t(FVersionResult ? 1 : 0));
}

bool Simulator::Reset(const char* ImagePath, std::string& Error) {
    std::lock_guard lock(FMutex);
    ResetControls();
    if (!ImagePath || !*ImagePath) {
        FImage = DefaultImage();
        return true;
    }
    ParseResult parsed = LoadImageFile(ImagePath);
    if (!parsed.Image) {
        Error = parsed.Error;
        return false;
    }
    FImage = std::move(*parsed.Image);
    return true;
}

bool Simulator::GetValue(int Code, int Index, std::int32_t& Value) {
    std::lock_guard lock(FMutex);
    const SimItem* item = FImage.Find(Code);
    if (!item || Index < 0 || Index >= item->Elements())
        return false;
    Value = FImage.Get(*item, Index);
    return true;
}

bool Simulator::SetValue(int Code, int Index, std::int32_t Value) {
    std::lock_guard lock(FMutex);
    const SimItem* item = FImage.Find(Code);
    if (!item || Index < 0 || Index >= item->Elements())
        return false;
    FImage.Set(*item, Index, Value);
    return true;
}

bool Simulator::GetItem(int Code, QorSimItem& Item) {
    std::lock_guard lock(FMutex);
    const SimItem* item = FImage.Find(Code);
    if (!item)
        return false;
    Item.Kind = static_cast<std::int32_t>(item->Kind);
    Item.Rows = item->Rows;
    Item.Cols = item->Cols;
    Item.Width = item->Width;
    Item.Signed = item->Signed ? 1 : 0;
    Item.Address = item->Address;
    return true;
}

bool Simulator::ReadMemory(std::uint32_t Address, std::uint8_t* Dest, std::int32_t Count) {
    std::lock_guard lock(FMutex);
    if (!Dest || Count < 0 || !FImage.InMemory(Address, static_cast<std::uint32_t>(Count)))
        return false;
    for (std::int32_t i = 0; i < Count; ++i)
        Dest[i] = FImage.Memory()[Address + static_cast<std::uint32_t>(i)];
    return true;
}

bool Simulator::WriteMemory(std::uint32_t Address, const std::uint8_t* Source, std::int32_t Count) {
    std::lock_guard lock(FMutex);
    if (!Source || Count < 0 || !FImage.InMemory(Address, static_cast<std::uint32_t>(Count)))
        return false;
    for (std::int32_t i = 0; i < Count; ++i)
        FImage.Memory()[Address + static_cast<std::uint32_t>(i)] = Source[i];
    return true;
}

std::int32_t Simulator::CallCount() {
    std::lock_guard lock(FMutex);
    return static_cast<std::int32_t>(FLog.size());
}

bool Simulator::GetCall(std::int32_t Index, QorSimCall& Call) {
    std::lock_guard lock(FMutex);
    if (Index < 0 || static_cast<std::size_t>(Index) >= FLog.size())
        return false;
    Call = FLog[static_cast<std::size_t>(Index)];
    return true;
}

void Simulator::ClearLog() {
    std::lock_guard lock(FMutex);
    FLog.clear();
}

void Simulator::SetObserver(QorSimObserver Observer, void* Context) {
    std::lock_guard lock(FMutex);
    FObserver = Observer;
    FObserverContext = Context;
}

void Simulator::FailNext(std::int32_t Op, std::int32_t Count) {
    std::lock_guard lock(FMutex);
    FFailNext[Op] = Count > 0 ? Count : 0;
}

void Simulator::FailSerialCode(int Code, bool On) {
    std::lock_guard lock(FMutex);
    if (On)
        FFailCodes.insert(Code & 0xFF);
    else
        FFailCodes.erase(Code & 0xFF);
}

void Simulator::ClearFaults() {
    std::lock_guard lock(FMutex);
    FFailNext.clear();
    FFailCodes.clear();
}

void Simulator::SetStatusWord(std::int32_t Status, bool Forced) {
    std::lock_guard lock(FMutex);
    FForcedStatus = Status;
    FStatusForced = Forced;
}

void Simulator::SetConnected(bool Connected) {
    std::lock_guard lock(FMutex);
    FConnected = Connected;
}

void Simulator::SetVersion(const VersionRecord& Version, bool Result) {
    std::lock_guard lock(FMutex);
    FVersion = Version;
    FVersionResult = Result;
}

void Simulator::SetCreateFails(bool Fails) {
    std::lock_guard lock(FMutex);
    FCreateFails = Fails;
}

void Simulator::SetLive(bool Live) {
    std::lock_guard lock(FMutex);
    FLive = Live;
}

std::int32_t Simulator::InstanceCount() {
    std::lock_guard lock(FMutex);
    return static_cast<std::int32_t>(FInstances.size());
}

bool Simulator::XcpRead(std::uint8_t Extension, std::uint32_t Address, std::uint8_t* Dest,
                        std::size_t Count) {
    std::lock_guard lock(FMutex);
    if (Extension != 0 || !FImage.InMemory(Address, static_cast<std::uint32_t>(Count)))
        return false;
    if (FLive)
        for (const SimItem& item : FImage.Items())
            if (item.Live && item.Address >= Address && item.Address - Address < Count) {
                FImage.StepLive();
                break;
            }
    std::copy_n(FImage.Memory().begin() + Address, Count, Dest);
    return true;
}

bool Simulator::XcpWrite(std::uint8_t Extension, std::uint32_t Address, const std::uint8_t* Source,
                         std::size_t Count) {
    std::lock_guard lock(FMutex);
    if (Extension != 0 || !FImage.InMemory(Address, static_cast<std::uint32_t>(Count)))
        return false;
    std::copy_n(Source, Count, FImage.Memory().begin() + Address);
    return true;
}

XcpServer& Simulator::Xcp() {
    std::lock_guard lock(FXcpMutex);
    if (!FXcpServer) {
        FXcpMemory = std::make_unique<SimXcpMemory>(*this);
        FXcpServer = std::make_unique<XcpServer>(*FXcpMemory);
    }
    return *FXcpServer;
}

void Simulator::ResetXcp() {
    std::lock_guard lock(FXcpMutex);
    if (FXcpServer)
        FXcpServer->ResetControls();
}

} // namespace qor::ecusim
