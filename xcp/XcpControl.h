#pragma once
// What the XCP communication library tells an application beyond the contract: the bits
// of its status words, and a trace of the contract calls it served (for tests and tools,
// looked up by name in the loaded library). All functions are safe from any thread.

#include <cstdint>

extern "C" {

// Status bits of GetLastStatus after a failed operation. An error packet of the slave
// sets qxsSlaveError and puts the XCP error code into bits 16-23. The library never sets
// the "data may still be used" bit 4: a failed transfer leaves nothing usable.
enum QorXcpStatus : std::int32_t {
    qxsUnknownItem = 0x0010,     // the description file has no item with the serial code
    qxsOutOfRange = 0x0020,      // index, row or column outside the item
    qxsShapeMismatch = 0x0040,   // operation or values per row do not fit the item's shape
    qxsNoRoom = 0x0080,          // the room offered for a packet is smaller than the packet
    qxsSlaveError = 0x0100,      // an error packet; its code in bits 16-23
    qxsLinkDown = 0x0200,        // the slave cannot be reached (refused, closed, not connected)
    qxsBadAddress = 0x0400,      // address and width leave the 32-bit address space
    qxsTimeout = 0x0800,         // the slave did not answer within the timeout
    qxsBadAnswer = 0x1000,       // an answer too short or with impossible values
    qxsUnsupportedSlave = 0x2000 // the slave's address granularity is not one byte
};
constexpr std::int32_t QorXcpErrorCodeShift = 16;

// One traced call, in the layout of the simulator's call log. Op is the contract's table
// position; Args as the simulator logs them; Result is the truth value (IsConnected: the
// answer; GetLastStatus: the word).
struct QorXcpCall {
    std::int32_t Op;
    std::uint32_t Descriptor;
    std::int32_t Args[3];
    std::int32_t Result;
};

// Tracing is off until switched on; the trace keeps at most the last 65536 calls.
void QorXcp_SetTrace(int On);
std::int32_t QorXcp_CallCount();
int QorXcp_GetCall(std::int32_t Index, QorXcpCall* Call);
void QorXcp_ClearLog();
}
