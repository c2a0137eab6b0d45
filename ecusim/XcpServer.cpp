#include "ecusim/XcpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qor::ecusim {
namespace {

constexpr std::size_t HeaderSize = 4;

bool Matches(std::int32_t Group, std::uint8_t Command) {
    switch (Group) {
    case qxcAnyCommand:
        return true;
    case qxcAnyUpload:
        return Command == 0xF5 || Command == 0xF4;
    case qxcAnyDownload:
        return Command == 0xF0 || Command == 0xEF;
    default:
        return Group == Command;
    }
}

std::vector<std::uint8_t> Frame(std::uint16_t Counter, const XcpPacket& P) {
    const auto n = static_cast<std::uint16_t>(P.size());
    std::vector<std::uint8_t> f(HeaderSize + P.size());
    f[0] = static_cast<std::uint8_t>(n);
    f[1] = static_cast<std::uint8_t>(n >> 8);
    f[2] = static_cast<std::uint8_t>(Counter);
    f[3] = static_cast<std::uint8_t>(Counter >> 8);
    std::copy(P.begin(), P.end(), f.begin() + HeaderSize);
    return f;
}

// A socket bound to 127.0.0.1:Port; -1 when that fails.
int OpenSocket(int Type, int Port, int& Bound) {
    int fd = ::socket(AF_INET, Type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(Port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (Type == SOCK_STREAM && ::listen(fd, 4) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    Bound = ntohs(addr.sin_port);
    return fd;
}

} // namespace

struct XcpServer::Client {
    int Fd = -1;
    std::vector<std::uint8_t> Pending;
    ~Client() {
        if (Fd >= 0)
            ::close(Fd);
    }
};

XcpServer::XcpServer(XcpMemory& Memory) : FSlave(Memory) {}

XcpServer::~XcpServer() {
    Stop();
}

int XcpServer::Start(int Transport, int Port) {
    std::lock_guard lock(FMutex);
    int& fd = Transport == qxtTcp ? FListener : FUdp;
    int& bound = Transport == qxtTcp ? FTcpPort : FUdpPort;
    if (fd < 0) {
        fd = OpenSocket(Transport == qxtTcp ? SOCK_STREAM : SOCK_DGRAM, Port, bound);
        if (fd < 0)
            return 0;
    }
    if (!FThread.joinable()) {
        FStop = false;
        FThread = std::thread([this] { Run(); });
    }
    return bound;
}

void XcpServer::Stop() {
    FStop = true;
    if (FThread.joinable())
        FThread.join();
    std::lock_guard lock(FMutex);
    for (int* fd : {&FUdp, &FListener})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    FClients.clear();
    FUdpPort = FTcpPort = 0;
}

int XcpServer::Port(int Transport) {
    std::lock_guard lock(FMutex);
    return Transport == qxtTcp ? FTcpPort : FUdpPort;
}

void XcpServer::Configure(const XcpSlaveConfig& Config) {
    std::lock_guard lock(FMutex);
    FSlave.Configure(Config);
}

void XcpServer::AddFault(const QorSimXcpFault& Fault) {
    std::lock_guard lock(FMutex);
    if (Fault.Count > 0)
        FFaults.push_back(Fault);
}

void XcpServer::SetOnline(bool Online) {
    std::lock_guard lock(FMutex);
    FOnline = Online;
}

void XcpServer::ResetControls() {
    std::lock_guard lock(FMutex);
    FFaults.clear();
    FCommands.clear();
    FOnline = true;
    FSlave.Configure(XcpSlaveConfig{});
    FSlave.Reset();
}

std::vector<std::uint8_t> XcpServer::Commands() {
    std::lock_guard lock(FMutex);
    return FCommands;
}

void XcpServer::ClearCommands() {
    std::lock_guard lock(FMutex);
    FCommands.clear();
}

std::optional<QorSimXcpFault> XcpServer::TakeFault(std::uint8_t Command) {
    for (auto it = FFaults.begin(); it != FFaults.end(); ++it) {
        if (!Matches(it->Command, Command))
            continue;
        QorSimXcpFault f = *it;
        if (--it->Count <= 0)
            FFaults.erase(it);
        return f;
    }
    return std::nullopt;
}

// Serves every whole frame in Bytes; the caller keeps what is left of an incomplete one.
// Garbage is set for a header whose length is 0.
void XcpServer::ServeFrames(std::span<const std::uint8_t> Bytes,
                            const std::function<void(const std::vector<std::uint8_t>&)>& Send,
                            bool& Garbage) {
    std::size_t at = 0;
    while (Bytes.size() - at >= HeaderSize) {
        const std::size_t n = static_cast<std::size_t>(Bytes[at] | Bytes[at + 1] << 8);
        if (n == 0) {
            Garbage = true;
            return;
        }
        if (Bytes.size() - at < HeaderSize + n)
            break;
        std::span<const std::uint8_t> command = Bytes.subspan(at + HeaderSize, n);
        at += HeaderSize + n;

        std::unique_lock lock(FMutex);
        FCommands.push_back(command[0]);
        std::optional<QorSimXcpFault> fault = TakeFault(command[0]);
        if (fault && fault->Kind == qxfErrorPacket) {
            if (FSlave.Connected() || command[0] == 0xFF)
                Send(Frame(FCounter++, XcpError(static_cast<std::uint8_t>(fault->Param))));
            continue;
        }
        std::optional<XcpPacket> answer = FSlave.Handle(command);
        if (!answer)
            continue;
        if (fault && fault->Kind == qxfDropAnswer)
            continue;
        if (fault && fault->Kind == qxfGarbage) {
            const auto counter = FCounter++;
            const auto lo = static_cast<std::uint8_t>(counter),
                       hi = static_cast<std::uint8_t>(counter >> 8);
            if (fault->Param == 0)
                Send({0x10, 0x00, lo, hi, 0xFF}); // claims 16 bytes, holds 1
            else if (fault->Param == 1)
                Send({0x00, 0x00, lo, hi});
            else
                Send(Frame(counter, XcpPacket{0xFF}));
            continue;
        }
        if (fault && fault->Kind == qxfDelayAnswer) {
            // The slave is busy for the delay: later commands wait behind this answer.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(fault->Param));
            lock.lock();
        }
        Send(Frame(FCounter++, *answer));
    }
}

void XcpServer::Run() {
    while (!FStop) {
        std::vector<pollfd> fds;
        {
            std::lock_guard lock(FMutex);
            if (!FOnline)
                FClients.clear();
            fds.push_back({FUdp, POLLIN, 0});
            fds.push_back({FListener, POLLIN, 0});
            for (auto& c : FClients)
                fds.push_back({c->Fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 20) <= 0)
            continue;

        if (fds[0].revents & POLLIN) {
            std::uint8_t buffer[65536];
            sockaddr_storage peer{};
            socklen_t peerLen = sizeof peer;
            ssize_t n = ::recvfrom(FUdp, buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&peer), &peerLen);
            bool online;
            {
                std::lock_guard lock(FMutex);
                online = FOnline;
            }
            if (n > 0 && online) {
                bool garbage = false;
                auto send = [&](const std::vector<std::uint8_t>& F) {
                    ::sendto(FUdp, F.data(), F.size(), 0, reinterpret_cast<sockaddr*>(&peer),
                             peerLen);
                };
                ServeFrames({buffer, static_cast<std::size_t>(n)}, send, garbage);
            }
        }
        if (fds[1].revents & POLLIN) {
            int fd = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                std::lock_guard lock(FMutex);
                if (!FOnline) {
                    ::close(fd);
                } else {
                    int one = 1;
                    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    auto c = std::make_unique<Client>();
                    c->Fd = fd;
                    FClients.push_back(std::move(c));
                }
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Client* client = nullptr;
            {
                std::lock_guard lock(FMutex);
                for (auto& c : FClients)
                    if (c->Fd == fds[i].fd)
                        client = c.get();
            }
            if (!client)
                continue;
            std::uint8_t buffer[16384];
            ssize_t n = ::recv(client->Fd, buffer, sizeof buffer, 0);
            bool drop = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
            {
                std::lock_guard lock(FMutex);
                drop = drop || !FOnline; // gone: the stream ends unanswered
            }
            if (n > 0 && !drop) {
                client->Pending.insert(client->Pending.end(), buffer, buffer + n);
                bool garbage = false;
                std::size_t before = client->Pending.size();
                std::size_t consumed = 0;
                auto send = [&](const std::vector<std::uint8_t>& F) {
                    ::send(client->Fd, F.data(), F.size(), MSG_NOSIGNAL);
                };
                ServeFrames(client->Pending, send, garbage);
                // Keep the bytes of an incomplete frame.
                std::size_t at = 0;
                while (before - at >= HeaderSize) {
                    const std::size_t len = static_cast<std::size_t>(client->Pending[at] |
                                                                     client->Pending[at + 1] << 8);
                    if (len == 0 || before - at < HeaderSize + len)
                        break;
                    at += HeaderSize + len;
                }
                consumed = at;
                client->Pending.erase(client->Pending.begin(),
                                      client->Pending.begin() +
                                          static_cast<std::ptrdiff_t>(consumed));
                drop = drop || garbage;
            }
            if (drop) {
                std::lock_guard lock(FMutex);
                std::erase_if(FClients, [&](const auto& c) { return c.get() == client; });
            }
        }
    }
}

} // namespace qor::ecusim
