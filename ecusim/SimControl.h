#pragma once
// Control API of the ECU simulator library, for tests and tools. Every function is
// exported with C linkage from the same shared library that implements the communication
// library contract; a program that loaded the library looks the functions up by name.
// All functions are safe to call from any thread.

#include <cstdint>

extern "C" {

// Status bits the simulator reports through GetLastStatus after a failed operation.
enum QorSimStatus : std::int32_t {
    qssUnknownCode = 0x0010,   // no item with the descriptor's serial code
    qssOutOfRange = 0x0020,    // index, row or column outside the item
    qssShapeMismatch = 0x0040, // operation or values per row do not fit the item
    qssNoRoom = 0x0080,        // the room offered for a packet is smaller than the packet
    qssInjected = 0x0100,      // failure made on request through the control API
    qssNotConnected = 0x0200,  // the link is down (QorSim_SetConnected)
    qssBadAddress = 0x0400,    // address outside the memory
};

// Operation codes in the call log: the table positions of the contract's operations,
// and 100 upwards for the entry points.
enum QorSimOp : std::int32_t {
    qsoShutdown = 10,
    qsoDisconnect = 35,
    qsoReadData = 40,
    qsoReadIndexed = 41,
    qsoReadElement = 42,
    qsoReadPacket = 43,
    qsoReadAtAddress = 44,
    qsoWriteData = 45,
    qsoWriteValue = 46,
    qsoWriteIndexed = 47,
    qsoWriteElement = 48,
    qsoWriteRow = 49,
    qsoWriteAtAddress = 50,
    qsoIsConnected = 57,
    qsoGetLastStatus = 58,
    qsoCreateClassInstance = 100,
    qsoDestroyClassInstance = 101,
    qsoGetDLLVersion = 102,
    qsoAnyData = -1, // for QorSim_FailNext: any of the data operations 40-50
};

// One logged call. Args by operation (unused ones 0):
//   ReadData, WriteData: number of values moved (0 when the call failed)
//   ReadIndexed: index; ReadElement: row, column
//   ReadPacket: room offered, length returned (0 when the call failed)
//   ReadAtAddress: address; WriteValue: value; WriteIndexed: index, value
//   WriteElement: row, column, value; WriteRow: row, number of values
//   WriteAtAddress: address, value; GetDLLVersion: the major version reported
// Result is the operation's truth value (IsConnected: the answer; GetLastStatus: the word).
struct QorSimCall {
    std::int32_t Op;
    std::uint32_t Descriptor;
    std::int32_t Args[3];
    std::int32_t Result;
};

enum QorSimItemKind : std::int32_t { qsiValue = 0, qsiVector = 1, qsiMap = 2, qsiPacket = 3 };

struct QorSimItem {
    std::int32_t Kind;
    std::int32_t Rows;     // 1 for values, vectors and packets
    std::int32_t Cols;     // elements per row; vector length; packet length in bytes
    std::int32_t Width;    // bytes per value: 1 or 2 (packets: 1)
    std::int32_t Signed;   // nonzero for two's complement values
    std::uint32_t Address; // first byte in the memory
};

// Puts the simulator back to its start state (empty log, no faults, link up, version
// 5.0.0.0, objects created) with the built-in image (ImagePath null or empty) or the image
// of a text file. Returns 1; on a bad file returns 0, keeps the previous image and writes
// the reason (with its line number) into Error.
int QorSim_Reset(const char* ImagePath, char* Error, int ErrorSize);

// Raw value of element Index (row-major) of the item with that serial code; a packet's
// elements are its bytes. Returns 1, or 0 for an unknown item or index.
int QorSim_GetValue(int SerialCode, int Index, std::int32_t* Value);
// Stores Value truncated to the item's width. Returns 1, or 0 as above.
int QorSim_SetValue(int SerialCode, int Index, std::int32_t Value);
int QorSim_GetItem(int SerialCode, QorSimItem* Item);

// Bytes of the memory. Return 1, or 0 when the range is outside it.
int QorSim_ReadMemory(std::uint32_t Address, std::uint8_t* Dest, std::int32_t Count);
int QorSim_WriteMemory(std::uint32_t Address, const std::uint8_t* Source, std::int32_t Count);
std::int32_t QorSim_MemorySize();

// The call log, oldest first.
std::int32_t QorSim_CallCount();
int QorSim_GetCall(std::int32_t Index, QorSimCall* Call);
void QorSim_ClearLog();
// Called after every logged call, outside the simulator's lock; null to stop.
typedef void (*QorSimObserver)(const QorSimCall* Call, void* Context);
void QorSim_SetObserver(QorSimObserver Observer, void* Context);

// Faults: the next Count calls of Op (a data operation, or qsoAnyData) fail; every data
// call for SerialCode fails while On is nonzero. A failed call changes nothing and leaves
// qssInjected as status.
void QorSim_FailNext(std::int32_t Op, std::int32_t Count);
void QorSim_FailSerialCode(int SerialCode, int On);
void QorSim_ClearFaults();

// GetLastStatus answers Status from now on, whatever the operations report, until
// QorSim_ClearStatusWord.
void QorSim_SetStatusWord(std::int32_t Status);
void QorSim_ClearStatusWord();

void QorSim_SetConnected(int Connected);
// What _GetDLLVersion reports: the record and its truth value.
void QorSim_SetVersion(std::uint32_t Major, std::uint32_t Minor, std::uint32_t Release,
                       std::uint32_t Build, int Result);
// While nonzero, _CreateClassInstance returns no object.
void QorSim_SetCreateFails(int Fails);
// While zero, the live packet keeps its bytes instead of moving on at every read.
void QorSim_SetLive(int Live);
// Interface objects created and not yet destroyed.
std::int32_t QorSim_InstanceCount();

// The XCP-on-Ethernet slave of the simulator: it serves the image memory (address
// extension 0, the 64 KiB of QorSim_ReadMemory) over UDP and TCP on 127.0.0.1, answering
// from a thread of its own. QorSim_Reset clears its faults and configuration and ends its
// session, but leaves its sockets open.
enum QorSimXcpTransport : std::int32_t { qxtUdp = 0, qxtTcp = 1 };

// Opens the transport's socket on Port (0: a free port chosen by the system) and returns
// the port, or 0 when it cannot be opened. Opening one already open returns its port.
int QorSim_XcpStart(int Transport, int Port);
// Closes every socket and ends the thread.
void QorSim_XcpStop();

// How the slave presents itself; applied at the next CONNECT.
struct QorSimXcpConfig {
    std::int32_t Motorola;        // nonzero: big-endian addresses, words and data
    std::int32_t MaxCto;          // 8 .. 255, default 255
    std::int32_t MaxDto;          // 8 .. 65535, default 1500
    std::int32_t MasterBlockMode; // nonzero: DOWNLOAD may open a block of DOWNLOAD_NEXT
    std::int32_t MaxBlockSize;    // packets in one block, default 8
    std::int32_t MinSeparation;   // pause between block packets in 100 us, default 0
};
void QorSim_XcpConfigure(const QorSimXcpConfig* Config);

enum QorSimXcpFaultKind : std::int32_t {
    qxfDropAnswer = 0,  // the command is carried out, its answer never sent
    qxfDelayAnswer = 1, // the answer goes out Param milliseconds late
    qxfErrorPacket = 2, // the command is refused with error code Param
    qxfGarbage = 3,     // a broken answer: Param 0 a truncated frame, 1 a frame of length 0,
                        // 2 a positive answer without its parameters
};
// Commands a fault applies to: a command code, or one of these groups.
enum QorSimXcpCommandGroup : std::int32_t {
    qxcAnyCommand = -1,
    qxcAnyUpload = -2,   // UPLOAD and SHORT_UPLOAD
    qxcAnyDownload = -3, // DOWNLOAD and DOWNLOAD_NEXT
};
// The next Count commands of the group get the fault; faults are used up in the order
// they were added.
struct QorSimXcpFault {
    std::int32_t Kind;
    std::int32_t Command;
    std::int32_t Count;
    std::int32_t Param;
};
void QorSim_XcpAddFault(const QorSimXcpFault* Fault);
// While zero the slave is gone: UDP commands go unanswered, TCP streams are closed and
// new ones closed at once.
void QorSim_XcpSetOnline(int Online);
// The command codes received (the first byte of every command), oldest first: copies at
// most Room of them and returns how many there are.
std::int32_t QorSim_XcpCommands(std::uint8_t* Codes, std::int32_t Room);
void QorSim_XcpClearCommands();
}
