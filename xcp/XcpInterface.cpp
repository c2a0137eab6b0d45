#include "xcp/XcpInterface.h"

#include "xcp/CallTrace.h"

#include <vector>

namespace qor::xcp {
namespace {

// Table positions, the operation codes of the trace.
enum : std::int32_t {
    opShutdown = sipShutdown,
    opDisconnect = sipDisconnect,
    opReadData = sipReadData,
    opReadIndexed = sipReadIndexed,
    opReadElement = sipReadElement,
    opReadPacket = sipReadPacket,
    opReadAtAddress = sipReadAtAddress,
    opWriteData = sipWriteData,
    opWriteValue = sipWriteValue,
    opWriteIndexed = sipWriteIndexed,
    opWriteElement = sipWriteElement,
    opWriteRow = sipWriteRow,
    opWriteAtAddress = sipWriteAtAddress,
    opIsConnected = sipIsConnected,
    opGetLastStatus = sipGetLastStatus,
};

bool IsMatrixLike(const ItemDescription& Item) {
    return Item.Shape != ItemShape::Packet;
}

std::int32_t StatusOf(const Result& R) {
    switch (R.What) {
    case Outcome::Ok:
        return 0;
    case Outcome::Timeout:
        return qxsTimeout;
    case Outcome::LinkDown:
        return qxsLinkDown;
    case Outcome::SlaveError:
        return qxsSlaveError | std::int32_t(R.ErrorCode) << QorXcpErrorCodeShift;
    case Outcome::BadAnswer:
        return qxsBadAnswer;
    case Outcome::Unsupported:
        return qxsUnsupportedSlave;
    }
    return qxsBadAnswer;
}

std::int32_t Decode(const std::uint8_t* P, int Width, bool Signed, ByteOrder Order) {
    if (Width == 1)
        return Signed ? std::int32_t(static_cast<std::int8_t>(P[0])) : std::int32_t(P[0]);
    const std::uint16_t w = GetWord(P, Order);
    return Signed ? std::int32_t(static_cast<std::int16_t>(w)) : std::int32_t(w);
}

void Encode(std::int32_t Value, int Width, ByteOrder Order, std::uint8_t* P) {
    const auto v = static_cast<std::uint32_t>(Value);
    if (Width == 1) {
        P[0] = static_cast<std::uint8_t>(v);
    } else if (Order == ByteOrder::Intel) {
        P[0] = static_cast<std::uint8_t>(v);
        P[1] = static_cast<std::uint8_t>(v >> 8);
    } else {
        P[0] = static_cast<std::uint8_t>(v >> 8);
        P[1] = static_cast<std::uint8_t>(v);
    }
}

} // namespace

// One contract call on its way into the trace.
class TXcpInterface::Call {
public:
    Call(std::int32_t Op, std::uint32_t Descriptor, std::int32_t A0 = 0, std::int32_t A1 = 0,
         std::int32_t A2 = 0)
        : Entry{Op, Descriptor, {A0, A1, A2}, 0} {}
    bool End(bool Result) {
        Entry.Result = Result ? 1 : 0;
        CallTrace::Instance().Add(Entry);
        return Result;
    }
    std::int32_t End(std::int32_t Result) {
        Entry.Result = Result;
        CallTrace::Instance().Add(Entry);
        return Result;
    }
    QorXcpCall Entry;
};

TXcpInterface::TXcpInterface(Description Items) : FItems(std::move(Items)), FMaster(FItems.Link) {}

TXcpInterface::~TXcpInterface() = default;

bool TXcpInterface::Fail(std::int32_t Status) {
    FStatus = Status;
    return false;
}

bool TXcpInterface::Finish(Result R) {
    if (R.What != Outcome::Timeout && R.What != Outcome::LinkDown)
        FLastAnswer = Clock::now();
    FStatus = StatusOf(R);
    return R.What == Outcome::Ok;
}

const ItemDescription* TXcpInterface::Find(std::uint32_t D) {
    const ItemDescription* item = FItems.Find(static_cast<int>(DescriptorSerialCode(D)));
    if (!item)
        Fail(qxsUnknownItem);
    return item;
}

// Values per row given in the descriptor must be the item's row length, so that a caller
// whose row is shorter is refused instead of written past.
bool TXcpInterface::RowLengthFits(std::uint32_t D, const ItemDescription& Item) const {
    const std::uint32_t perRow = DescriptorValuesPerRow(D);
    return perRow == 0 || perRow == static_cast<std::uint32_t>(Item.Cols);
}

bool TXcpInterface::WholeItemFits(std::uint32_t D, const ItemDescription& Item) const {
    if (!IsMatrixLike(Item))
        return false;
    if (!(D & ddArray))
        return Item.Elements() == 1;
    return (Item.Rows == 1 || Item.Cols == 1) && RowLengthFits(D, Item);
}

bool TXcpInterface::LinkUp(Clock::time_point Deadline) {
    if (FMaster.Connected())
        return true;
    const Clock::time_point now = Clock::now();
    if (FEverTried && now - FLastAttempt < FItems.Reconnect)
        return Fail(qxsLinkDown);
    FEverTried = true;
    FLastAttempt = now;
    Result r = FMaster.Connect(Deadline);
    if (r)
        return Finish(r);
    // A slave that is not there is a link down, whatever the way we found out.
    if (r.What == Outcome::Timeout)
        return Fail(qxsLinkDown | qxsTimeout);
    return Finish(r);
}

bool TXcpInterface::ReadValues(std::uint32_t Address, std::uint8_t Extension, int Width,
                               bool Signed, int Count, std::int32_t* Dest) {
    const Clock::time_point deadline = FMaster.CallDeadline();
    if (!LinkUp(deadline))
        return false;
    FBuffer.resize(static_cast<std::size_t>(Count * Width));
    if (!Finish(FMaster.Upload(Address, Extension, FBuffer, deadline)))
        return false;
    const ByteOrder order = FItems.DataOrder.value_or(FMaster.Slave().Order);
    for (int i = 0; i < Count; ++i)
        Dest[i] = Decode(&FBuffer[static_cast<std::size_t>(i * Width)], Width, Signed, order);
    return true;
}

bool TXcpInterface::WriteValues(std::uint32_t Address, std::uint8_t Extension, int Width, int Count,
                                const std::int32_t* Source) {
    const Clock::time_point deadline = FMaster.CallDeadline();
    if (!LinkUp(deadline))
        return false;
    FBuffer.resize(static_cast<std::size_t>(Count * Width));
    const ByteOrder order = FItems.DataOrder.value_or(FMaster.Slave().Order);
    for (int i = 0; i < Count; ++i)
        Encode(Source[i], Width, order, &FBuffer[static_cast<std::size_t>(i * Width)]);
    return Finish(FMaster.Download(Address, Extension, FBuffer, deadline));
}

bool TXcpInterface::ReadData(std::uint32_t D, std::int32_t* Dest) {
    Call c(opReadData, D);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!Dest || !WholeItemFits(D, *item))
        return c.End(Fail(qxsShapeMismatch));
    if (!ReadValues(item->Address, item->Extension, item->Width, item->Signed, item->Elements(),
                    Dest))
        return c.End(false);
    c.Entry.Args[0] = item->Elements();
    return c.End(true);
}

bool TXcpInterface::WriteData(std::uint32_t D, const std::int32_t* Source) {
    Call c(opWriteData, D);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!Source || !WholeItemFits(D, *item))
        return c.End(Fail(qxsShapeMismatch));
    if (!WriteValues(item->Address, item->Extension, item->Width, item->Elements(), Source))
        return c.End(false);
    c.Entry.Args[0] = item->Elements();
    return c.End(true);
}

bool TXcpInterface::WriteValue(std::uint32_t D, std::int32_t Value) {
    Call c(opWriteValue, D, Value);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!IsMatrixLike(*item) || item->Elements() != 1)
        return c.End(Fail(qxsShapeMismatch));
    return c.End(WriteValues(item->Address, item->Extension, item->Width, 1, &Value));
}

bool TXcpInterface::ReadIndexed(std::uint32_t D, std::int32_t* Dest, std::int32_t Index) {
    Call c(opReadIndexed, D, Index);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!Dest || !IsMatrixLike(*item))
        return c.End(Fail(qxsShapeMismatch));
    if (item->Shape == ItemShape::Map && item->Cols > 1) { // one row of a map
        if (!RowLengthFits(D, *item))
            return c.End(Fail(qxsShapeMismatch));
        if (Index < 0 || Index >= item->Rows)
            return c.End(Fail(qxsOutOfRange));
        if (item->RowsContiguous())
            return c.End(ReadValues(item->CellAddress(Index, 0), item->Extension, item->Width,
                                    item->Signed, item->Cols, Dest));
        // A row of a map stored by columns: the whole map in one transfer, then its row.
        std::vector<std::int32_t> all(static_cast<std::size_t>(item->Elements()));
        if (!ReadValues(item->Address, item->Extension, item->Width, item->Signed, item->Elements(),
                        all.data()))
            return c.End(false);
        for (int col = 0; col < item->Cols; ++col)
            Dest[col] = all[static_cast<std::size_t>(col * item->Rows + Index)];
        return c.End(true);
    }
    if (Index < 0 || Index >= item->Elements()) // one element of a vector or column
        return c.End(Fail(qxsOutOfRange));
    return c.End(ReadValues(item->ElementAddress(Index), item->Extension, item->Width, item->Signed,
                            1, Dest));
}

bool TXcpInterface::WriteIndexed(std::uint32_t D, std::int32_t Index, std::int32_t Value) {
    Call c(opWriteIndexed, D, Index, Value);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!IsMatrixLike(*item) || (item->Rows > 1 && item->Cols > 1))
        return c.End(Fail(qxsShapeMismatch));
    if (Index < 0 || Index >= item->Elements())
        return c.End(Fail(qxsOutOfRange));
    return c.End(WriteValues(item->ElementAddress(Index), item->Extension, item->Width, 1, &Value));
}

bool TXcpInterface::ReadElement(std::uint32_t D, std::int32_t* Dest, std::int32_t Row,
                                std::int32_t Col) {
    Call c(opReadElement, D, Row, Col);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!Dest || !IsMatrixLike(*item))
        return c.End(Fail(qxsShapeMismatch));
    if (Row < 0 || Row >= item->Rows || Col < 0 || Col >= item->Cols)
        return c.End(Fail(qxsOutOfRange));
    return c.End(ReadValues(item->CellAddress(Row, Col), item->Extension, item->Width, item->Signed,
                            1, Dest));
}

bool TXcpInterface::WriteElement(std::uint32_t D, std::int32_t Row, std::int32_t Col,
                                 std::int32_t Value) {
    Call c(opWriteElement, D, Row, Col, Value);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!IsMatrixLike(*item))
        return c.End(Fail(qxsShapeMismatch));
    if (Row < 0 || Row >= item->Rows || Col < 0 || Col >= item->Cols)
        return c.End(Fail(qxsOutOfRange));
    return c.End(WriteValues(item->CellAddress(Row, Col), item->Extension, item->Width, 1, &Value));
}

bool TXcpInterface::WriteRow(std::uint32_t D, const std::int32_t* Source, std::int32_t Row) {
    Call c(opWriteRow, D, Row);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!Source || !IsMatrixLike(*item) || !RowLengthFits(D, *item))
        return c.End(Fail(qxsShapeMismatch));
    if (Row < 0 || Row >= item->Rows)
        return c.End(Fail(qxsOutOfRange));
    if (item->RowsContiguous()) {
        if (!WriteValues(item->CellAddress(Row, 0), item->Extension, item->Width, item->Cols,
                         Source))
            return c.End(false);
    } else { // the cells of a row of a map stored by columns, one by one
        for (int col = 0; col < item->Cols; ++col)
            if (!WriteValues(item->CellAddress(Row, col), item->Extension, item->Width, 1,
                             Source + col))
                return c.End(false);
    }
    c.Entry.Args[1] = item->Cols;
    return c.End(true);
}

bool TXcpInterface::ReadPacket(std::uint32_t D, std::uint8_t* Dest, std::int32_t* Length) {
    Call c(opReadPacket, D, Length ? *Length : 0);
    const ItemDescription* item = Find(D);
    if (!item)
        return c.End(false);
    if (!Dest || !Length || item->Shape != ItemShape::Packet)
        return c.End(Fail(qxsShapeMismatch));
    if (*Length < item->Cols)
        return c.End(Fail(qxsNoRoom));
    const Clock::time_point deadline = FMaster.CallDeadline();
    if (!LinkUp(deadline))
        return c.End(false);
    std::span<std::uint8_t> dest(Dest, static_cast<std::size_t>(item->Cols));
    if (!Finish(FMaster.Upload(item->Address, item->Extension, dest, deadline)))
        return c.End(false);
    *Length = item->Cols;
    c.Entry.Args[1] = item->Cols;
    return c.End(true);
}

bool TXcpInterface::ReadAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t* Dest) {
    Call c(opReadAtAddress, D, static_cast<std::int32_t>(Address));
    const int width = (D & ddTwoBytes) ? 2 : 1;
    if (!Dest)
        return c.End(Fail(qxsShapeMismatch));
    if (Address > 0xFFFFFFFFu - static_cast<std::uint32_t>(width - 1))
        return c.End(Fail(qxsBadAddress));
    return c.End(ReadValues(Address, FItems.AddressExtension, width, (D & ddSigned) != 0, 1, Dest));
}

bool TXcpInterface::WriteAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t Value) {
    Call c(opWriteAtAddress, D, static_cast<std::int32_t>(Address), Value);
    const int width = (D & ddTwoBytes) ? 2 : 1;
    if (Address > 0xFFFFFFFFu - static_cast<std::uint32_t>(width - 1))
        return c.End(Fail(qxsBadAddress));
    return c.End(WriteValues(Address, FItems.AddressExtension, width, 1, &Value));
}

bool TXcpInterface::IsConnected() {
    Call c(opIsConnected, 0);
    // Asking leaves the status word of the last data operation alone.
    const std::int32_t status = FStatus;
    const Clock::time_point deadline = FMaster.CallDeadline();
    if (!FMaster.Connected()) {
        const bool up = LinkUp(deadline);
        FStatus = status;
        return c.End(up);
    }
    if (Clock::now() - FLastAnswer < FItems.Probe)
        return c.End(true);
    // The slave has been quiet for a while: ask it, so that a slave that went away reads as
    // a lost link before the next read waits for it.
    SessionStatus session;
    Result r = FMaster.GetStatus(session, deadline);
    if (r.What != Outcome::Timeout && r.What != Outcome::LinkDown)
        FLastAnswer = Clock::now();
    FStatus = status;
    return c.End(FMaster.Connected());
}

std::int32_t TXcpInterface::GetLastStatus() {
    Call c(opGetLastStatus, 0);
    return c.End(FStatus);
}

bool TXcpInterface::Disconnect() {
    Call c(opDisconnect, 0);
    FMaster.Disconnect(FMaster.CallDeadline());
    return c.End(true);
}

bool TXcpInterface::Shutdown() {
    Call c(opShutdown, 0);
    FMaster.Disconnect(Clock::now());
    return c.End(true);
}

} // namespace qor::xcp
