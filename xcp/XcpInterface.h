#pragma once
// The interface object of the XCP library: every operation of the contract mapped onto
// memory transfers at the addresses the description file gives, with status words for
// whatever went wrong, and a link that comes back by itself when the slave answers again.

#include "link/SerInterface.h"
#include "xcp/Description.h"
#include "xcp/XcpMaster.h"

#include <cstdint>
#include <vector>

namespace qor::xcp {

class TXcpInterface final : public TSerInterface {
public:
    explicit TXcpInterface(Description Items);
    ~TXcpInterface();
    TXcpInterface(const TXcpInterface&) = delete;
    TXcpInterface& operator=(const TXcpInterface&) = delete;

    bool Shutdown() override;
    bool Disconnect() override;
    bool ReadData(std::uint32_t D, std::int32_t* Dest) override;
    bool ReadIndexed(std::uint32_t D, std::int32_t* Dest, std::int32_t Index) override;
    bool ReadElement(std::uint32_t D, std::int32_t* Dest, std::int32_t Row,
                     std::int32_t Col) override;
    bool ReadPacket(std::uint32_t D, std::uint8_t* Dest, std::int32_t* Length) override;
    bool ReadAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t* Dest) override;
    bool WriteData(std::uint32_t D, const std::int32_t* Source) override;
    bool WriteValue(std::uint32_t D, std::int32_t Value) override;
    bool WriteIndexed(std::uint32_t D, std::int32_t Index, std::int32_t Value) override;
    bool WriteElement(std::uint32_t D, std::int32_t Row, std::int32_t Col,
                      std::int32_t Value) override;
    bool WriteRow(std::uint32_t D, const std::int32_t* Source, std::int32_t Row) override;
    bool WriteAtAddress(std::uint32_t D, std::uint32_t Address, std::int32_t Value) override;
    bool IsConnected() override;
    std::int32_t GetLastStatus() override;

private:
    class Call;

    // The item of the descriptor's serial code, or null with qxsUnknownItem.
    const ItemDescription* Find(std::uint32_t D);
    bool RowLengthFits(std::uint32_t D, const ItemDescription& Item) const;
    bool WholeItemFits(std::uint32_t D, const ItemDescription& Item) const;
    // Connects when the link is down and the reconnect pause has passed.
    bool LinkUp(Clock::time_point Deadline);
    // Element-wise transfers of Count elements of Width bytes from Address.
    bool ReadValues(std::uint32_t Address, std::uint8_t Extension, int Width, bool Signed,
                    int Count, std::int32_t* Dest);
    bool WriteValues(std::uint32_t Address, std::uint8_t Extension, int Width, int Count,
                     const std::int32_t* Source);
    bool Finish(Result R);
    bool Fail(std::int32_t Status);

    Description FItems;
    Master FMaster;
    std::int32_t FStatus = 0;
    bool FEverTried = false;
    Clock::time_point FLastAttempt{};
    Clock::time_point FLastAnswer{};
    std::vector<std::uint8_t> FBuffer;
};

} // namespace qor::xcp
