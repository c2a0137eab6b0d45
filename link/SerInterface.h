#pragma once
// Contract of a communication library: the interface object through which every ECU read
// and write goes, the bits of the DataDescriptor word, the version record and the three
// exported entry points.
//
// A library author builds against this header alone (it needs only standard headers):
// derive a class from TSerInterface, override the operations, and export the three entry
// points with C linkage. The connection loads the library by file name, looks the entry
// points up by name, checks the version and asks for one interface object.
//
// Table layout is binding: the operations occupy fixed positions in the virtual table
// (position 0 is the first virtual operation declared below). Reserved slots fill the
// gaps and must not be removed or reordered. There is no virtual destructor: the object
// is created and destroyed by the library itself (_CreateClassInstance and
// _DestroyClassInstance), never deleted through this interface.

#include <cstdint>
#include <type_traits>

namespace qor {

// DataDescriptor: 32-bit word passed first to every data operation.
//   bits 0-7    serial code of the datum in the ECU protocol
//   bit 8       array data (vector, map, map row)
//   bit 9       two-byte raw values
//   bit 10      signed raw values
//   bit 11      packet
//   bits 12-19  values per row (0: not given)
constexpr std::uint32_t ddSerialCodeMask = 0x000000FFu;
constexpr std::uint32_t ddArray = 0x00000100u;
constexpr std::uint32_t ddTwoBytes = 0x00000200u;
constexpr std::uint32_t ddSigned = 0x00000400u;
constexpr std::uint32_t ddPacket = 0x00000800u;
constexpr std::uint32_t ddValuesPerRowMask = 0x000FF000u;
constexpr unsigned ddValuesPerRowShift = 12;

constexpr std::uint32_t DescriptorSerialCode(std::uint32_t Descriptor) {
    return Descriptor & ddSerialCodeMask;
}
constexpr std::uint32_t DescriptorValuesPerRow(std::uint32_t Descriptor) {
    return (Descriptor & ddValuesPerRowMask) >> ddValuesPerRowShift;
}

// Status word bit that tells the caller the data of a read may still be used.
constexpr std::int32_t stDataUsable = 4;

// Version of a library, most significant number first.
struct VersionRecord {
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
    std::uint32_t Release = 0;
    std::uint32_t Build = 0;
};
static_assert(sizeof(VersionRecord) == 16);

// The interface object of a communication library. Raw values are signed 32-bit. The data
// operations take the DataDescriptor first and return true when done.
class TSerInterface {
public:
    // Positions 0-9.
    virtual void Reserved00() {}
    virtual void Reserved01() {}
    virtual void Reserved02() {}
    virtual void Reserved03() {}
    virtual void Reserved04() {}
    virtual void Reserved05() {}
    virtual void Reserved06() {}
    virtual void Reserved07() {}
    virtual void Reserved08() {}
    virtual void Reserved09() {}

    // Position 10: closes the library's side while the link is down; called once just
    // before _DestroyClassInstance when IsConnected is false.
    virtual bool Shutdown() = 0;

    // Positions 11-34.
    virtual void Reserved11() {}
    virtual void Reserved12() {}
    virtual void Reserved13() {}
    virtual void Reserved14() {}
    virtual void Reserved15() {}
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    virtual void Reserved18() {}
    virtual void Reserved19() {}
    virtual void Reserved20() {}
    virtual void Reserved21() {}
    virtual void Reserved22() {}
    virtual void Reserved23() {}
    virtual void Reserved24() {}
    virtual void Reserved25() {}
    virtual void Reserved26() {}
    virtual void Reserved27() {}
    virtual void Reserved28() {}
    virtual void Reserved29() {}
    virtual void Reserved30() {}
    virtual void Reserved31() {}
    virtual void Reserved32() {}
    virtual void Reserved33() {}
    virtual void Reserved34() {}

    // Position 35: closes the link; called once just before _DestroyClassInstance when
    // IsConnected is true.
    virtual bool Disconnect() = 0;

    // Positions 36-39.
    virtual void Reserved36() {}
    virtual void Reserved37() {}
    virtual void Reserved38() {}
    virtual void Reserved39() {}

    // Position 40: without ddArray one value; with it a whole vector, map row or
    // one-column map (Dest has room for all its elements).
    virtual bool ReadData(std::uint32_t Descriptor, std::int32_t* Dest) = 0;
    // 41: one element of a vector (or one-column map), or one row of a map.
    virtual bool ReadIndexed(std::uint32_t Descriptor, std::int32_t* Dest, std::int32_t Index) = 0;
    // 42: one element of a map.
    virtual bool ReadElement(std::uint32_t Descriptor, std::int32_t* Dest, std::int32_t Row,
                             std::int32_t Col) = 0;
    // 43: *Length holds the room offered on entry and the packet's length after success.
    virtual bool ReadPacket(std::uint32_t Descriptor, std::uint8_t* Dest, std::int32_t* Length) = 0;
    // 44: one value at a byte address (width and sign from the descriptor).
    virtual bool ReadAtAddress(std::uint32_t Descriptor, std::uint32_t Address,
                               std::int32_t* Dest) = 0;
    // 45: the counterpart of ReadData.
    virtual bool WriteData(std::uint32_t Descriptor, const std::int32_t* Source) = 0;
    // 46: one value.
    virtual bool WriteValue(std::uint32_t Descriptor, std::int32_t Value) = 0;
    // 47: one element of a vector, one-row or one-column map.
    virtual bool WriteIndexed(std::uint32_t Descriptor, std::int32_t Index, std::int32_t Value) = 0;
    // 48: one element of a map.
    virtual bool WriteElement(std::uint32_t Descriptor, std::int32_t Row, std::int32_t Col,
                              std::int32_t Value) = 0;
    // 49: one whole row of a map.
    virtual bool WriteRow(std::uint32_t Descriptor, const std::int32_t* Source,
                          std::int32_t Row) = 0;
    // 50: one value at a byte address.
    virtual bool WriteAtAddress(std::uint32_t Descriptor, std::uint32_t Address,
                                std::int32_t Value) = 0;

    // Positions 51-56.
    virtual void Reserved51() {}
    virtual void Reserved52() {}
    virtual void Reserved53() {}
    virtual void Reserved54() {}
    virtual void Reserved55() {}
    virtual void Reserved56() {}

    // Position 57: while false, callers make no reads (writes do not ask).
    virtual bool IsConnected() = 0;
    // Position 58: status word of the last operation; 0 means nothing to report, the bit
    // stDataUsable means that the data of a failed read may still be used.
    virtual std::int32_t GetLastStatus() = 0;

protected:
    TSerInterface() = default;
    // Not virtual and not public: only the library that made the object destroys it.
    ~TSerInterface() = default;
    TSerInterface(const TSerInterface&) = default;
    TSerInterface& operator=(const TSerInterface&) = default;
};

// Number of table positions, and the position of each operation.
constexpr int sipShutdown = 10;
constexpr int sipDisconnect = 35;
constexpr int sipReadData = 40;
constexpr int sipReadIndexed = 41;
constexpr int sipReadElement = 42;
constexpr int sipReadPacket = 43;
constexpr int sipReadAtAddress = 44;
constexpr int sipWriteData = 45;
constexpr int sipWriteValue = 46;
constexpr int sipWriteIndexed = 47;
constexpr int sipWriteElement = 48;
constexpr int sipWriteRow = 49;
constexpr int sipWriteAtAddress = 50;
constexpr int sipIsConnected = 57;
constexpr int sipGetLastStatus = 58;
constexpr int sipSlotCount = 59;

static_assert(!std::has_virtual_destructor_v<TSerInterface>);
static_assert(sizeof(TSerInterface) == sizeof(void*), "the object is its table pointer only");

// Entry points, exported with C linkage under exactly these names.
using TCreateClassInstance = TSerInterface* (*)();
using TDestroyClassInstance = std::int32_t (*)(TSerInterface* Instance);
// Fills the record; returns nonzero on success.
using TGetDLLVersion = std::int32_t (*)(VersionRecord* Version);

constexpr const char* CreateClassInstanceName = "_CreateClassInstance";
constexpr const char* DestroyClassInstanceName = "_DestroyClassInstance";
constexpr const char* GetDLLVersionName = "_GetDLLVersion";

} // namespace qor

// Declarations a library defines; the connection only looks them up by name.
extern "C" {
qor::TSerInterface* _CreateClassInstance();
std::int32_t _DestroyClassInstance(qor::TSerInterface* Instance);
std::int32_t _GetDLLVersion(qor::VersionRecord* Version);
}
