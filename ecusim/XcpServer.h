#pragma once
// The simulator's XCP slave on the network: a UDP socket and a TCP listener on 127.0.0.1,
// served by one thread, with the faults a test asks for (answers dropped, delayed or
// replaced by error packets; the slave going away and coming back).

#include "ecusim/SimControl.h"
#include "ecusim/XcpSlave.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace qor::ecusim {

class XcpServer {
public:
    explicit XcpServer(XcpMemory& Memory);
    ~XcpServer();
    XcpServer(const XcpServer&) = delete;
    XcpServer& operator=(const XcpServer&) = delete;

    // Opens the socket of the transport on Port (0: any free port) and returns the port,
    // or 0 when it cannot be opened. The thread starts with the first transport.
    int Start(int Transport, int Port);
    void Stop();
    int Port(int Transport);

    void Configure(const XcpSlaveConfig& Config);
    void AddFault(const QorSimXcpFault& Fault);
    void SetOnline(bool Online);
    // Faults cleared, configuration back to its defaults, online, session reset, log empty.
    void ResetControls();
    // The command codes received, oldest first.
    std::vector<std::uint8_t> Commands();
    void ClearCommands();

private:
    struct Client;

    void Run();
    void ServeFrames(std::span<const std::uint8_t> Bytes,
                     const std::function<void(const std::vector<std::uint8_t>&)>& Send,
                     bool& Garbage);
    // What the faults make of the command: nullopt to process it normally.
    std::optional<QorSimXcpFault> TakeFault(std::uint8_t Command);

    std::mutex FMutex;
    XcpSlave FSlave;
    std::deque<QorSimXcpFault> FFaults;
    std::vector<std::uint8_t> FCommands;
    bool FOnline = true;
    std::uint16_t FCounter = 0;

    int FUdp = -1;
    int FListener = -1;
    int FUdpPort = 0;
    int FTcpPort = 0;
    std::vector<std::unique_ptr<Client>> FClients;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace qor::ecusim
