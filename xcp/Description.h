#pragma once
// The item description file: where each data item of the ECU lives and how it is shaped,
// and how to reach the slave. Format in xcp/README.md.

#include "xcp/XcpMaster.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace qor::xcp {

enum class ItemShape { Value, Vector, Map, Packet };

struct ItemDescription {
    int Code = 0;
    std::string Name;
    ItemShape Shape = ItemShape::Value;
    int Width = 1; // bytes per element
    bool Signed = false;
    int Rows = 1;
    int Cols = 1; // values per row; vector length; packet length in bytes
    std::uint32_t Address = 0;
    std::uint8_t Extension = 0;
    // A map stored column after column (the cell below a cell is the next one in memory)
    // instead of row after row.
    bool ColumnMajor = false;

    int Elements() const { return Rows * Cols; }
    int Bytes() const { return Elements() * Width; }
    std::uint32_t ElementAddress(int Index) const {
        return Address + static_cast<std::uint32_t>(Index * Width);
    }
    std::uint32_t CellAddress(int Row, int Col) const {
        return ElementAddress(ColumnMajor ? Col * Rows + Row : Row * Cols + Col);
    }
    // Whether the cells of one row lie next to each other in memory.
    bool RowsContiguous() const { return !ColumnMajor || Rows == 1; }
};

struct Description {
    MasterSettings Link;
    // Least time between two attempts to reach a slave that stopped answering.
    std::chrono::milliseconds Reconnect{1000};
    // IsConnected asks the slave (GET_STATUS) when its last answer is older than this.
    std::chrono::milliseconds Probe{500};
    // Address extension of ReadAtAddress and WriteAtAddress.
    std::uint8_t AddressExtension = 0;
    // Byte order of 2-byte data values; none: the slave's (from its CONNECT answer).
    std::optional<ByteOrder> DataOrder;
    std::map<int, ItemDescription> Items;

    const ItemDescription* Find(int Code) const {
        auto it = Items.find(Code);
        return it == Items.end() ? nullptr : &it->second;
    }
};

struct DescriptionResult {
    std::optional<Description> Value;
    std::string Error; // names the line
};

DescriptionResult ParseDescription(const std::string& Text);
DescriptionResult LoadDescription(const std::string& Path);

} // namespace qor::xcp
