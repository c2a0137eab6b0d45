#include "xcp/XcpTransport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qor::xcp {
namespace {

// Milliseconds left until the deadline, for poll (0 when it has passed).
int MsLeft(Clock::time_point Deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool Resolve(const std::string& Host, int Port, int SockType, sockaddr_storage& Addr,
             socklen_t& Len, std::string& Error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SockType;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(Port);
    if (int rc = getaddrinfo(Host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        Error = "cannot resolve " + Host + ": " + gai_strerror(rc);
        return false;
    }
    std::memcpy(&Addr, found->ai_addr, found->ai_addrlen);
    Len = found->ai_addrlen;
    freeaddrinfo(found);
    return true;
}

// A file descriptor closed with its owner.
class Socket {
public:
    Socket() = default;
    ~Socket() { Reset(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    void Reset(int Fd = -1) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = Fd;
    }
    int Get() const { return FFd; }

private:
    int FFd = -1;
};

class UdpTransport : public Transport {
public:
    bool Open(const std::string& Host, int Port, Clock::time_point, std::string& Error) override {
        sockaddr_storage addr{};
        socklen_t len = 0;
        if (!Resolve(Host, Port, SOCK_DGRAM, addr, len, Error))
            return false;
        FSocket.Reset(::socket(addr.ss_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        // A connected datagram socket only hears its slave, and learns from the loopback
        // at once when nobody listens on the port.
        if (FSocket.Get() < 0 ||
            ::connect(FSocket.Get(), reinterpret_cast<sockaddr*>(&addr), len) != 0) {
            Error = std::string("cannot open the UDP socket: ") + std::strerror(errno);
            FSocket.Reset();
            return false;
        }
        FQueue.clear();
        return true;
    }
    void Close() override { FSocket.Reset(); }
    bool IsOpen() const override { return FSocket.Get() >= 0; }

    bool Send(std::span<const std::uint8_t> FrameBytes) override {
        if (!IsOpen())
            return false;
        // A refusal noticed earlier comes back as the error of this send; the datagram still
        // goes out, so ask once more before calling the socket dead.
        for (int attempt = 0; attempt < 2; ++attempt) {
            ssize_t n = ::send(FSocket.Get(), FrameBytes.data(), FrameBytes.size(), MSG_NOSIGNAL);
            if (n == static_cast<ssize_t>(FrameBytes.size()))
                return true;
            if (n < 0 && errno != ECONNREFUSED)
                return false;
        }
        return false;
    }

    ReceiveResult Receive(Frame& Out, Clock::time_point Deadline) override {
        for (;;) {
            if (!FQueue.empty()) {
                Out = std::move(FQueue.front());
                FQueue.pop_front();
                return ReceiveResult::Got;
            }
            if (!IsOpen())
                return ReceiveResult::Closed;
            pollfd p{FSocket.Get(), POLLIN, 0};
            int ready = ::poll(&p, 1, MsLeft(Deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return ReceiveResult::Timeout;
            if (ReadDatagram() == ECONNREFUSED)
                return ReceiveResult::Closed;
        }
    }

    void Drain() override {
        FQueue.clear();
        while (IsOpen() && ReadDatagram() == 0)
            FQueue.clear();
        FQueue.clear();
    }

private:
    // Reads one datagram into the queue of frames. Returns 0, EAGAIN, ECONNREFUSED or
    // another errno. A datagram that is no run of whole frames is dropped.
    int ReadDatagram() {
        std::uint8_t buffer[65536];
        ssize_t n = ::recv(FSocket.Get(), buffer, sizeof buffer, 0);
        if (n < 0)
            return errno == EWOULDBLOCK ? EAGAIN : errno;
        FrameReader reader;
        reader.Append({buffer, static_cast<std::size_t>(n)});
        std::deque<Frame> frames;
        while (auto f = reader.Next())
            frames.push_back(std::move(*f));
        if (reader.Broken() || reader.Pending() != 0)
            return 0;
        for (Frame& f : frames)
            FQueue.push_back(std::move(f));
        return 0;
    }

    Socket FSocket;
    std::deque<Frame> FQueue;
};

class TcpTransport : public Transport {
public:
    bool Open(const std::string& Host, int Port, Clock::time_point Deadline,
              std::string& Error) override {
        sockaddr_storage addr{};
        socklen_t len = 0;
        if (!Resolve(Host, Port, SOCK_STREAM, addr, len, Error))
            return false;
        FSocket.Reset(::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (FSocket.Get() < 0) {
            Error = std::string("cannot open the TCP socket: ") + std::strerror(errno);
            return false;
        }
        int one = 1;
        ::setsockopt(FSocket.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        FReader.Clear();
        if (::connect(FSocket.Get(), reinterpret_cast<sockaddr*>(&addr), len) == 0)
            return true;
        if (errno == EINPROGRESS) {
            pollfd p{FSocket.Get(), POLLOUT, 0};
            int soerr = 0;
            socklen_t soerrlen = sizeof soerr;
            if (::poll(&p, 1, MsLeft(Deadline)) == 1 &&
                ::getsockopt(FSocket.Get(), SOL_SOCKET, SO_ERROR, &soerr, &soerrlen) == 0 &&
                soerr == 0)
                return true;
            errno = soerr ? soerr : ETIMEDOUT;
        }
        Error = std::string("cannot reach the slave over TCP: ") + std::strerror(errno);
        FSocket.Reset();
        return false;
    }
    void Close() override { FSocket.Reset(); }
    bool IsOpen() const override { return FSocket.Get() >= 0; }

    bool Send(std::span<const std::uint8_t> FrameBytes) override {
        std::size_t sent = 0;
        while (IsOpen() && sent < FrameBytes.size()) {
            ssize_t n = ::send(FSocket.Get(), FrameBytes.data() + sent, FrameBytes.size() - sent,
                               MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd p{FSocket.Get(), POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                Close();
            }
        }
        return IsOpen();
    }

    ReceiveResult Receive(Frame& Out, Clock::time_point Deadline) override {
        for (;;) {
            if (auto f = FReader.Next()) {
                Out = std::move(*f);
                return ReceiveResult::Got;
            }
            if (FReader.Broken())
                Close();
            if (!IsOpen())
                return ReceiveResult::Closed;
            pollfd p{FSocket.Get(), POLLIN, 0};
            int ready = ::poll(&p, 1, MsLeft(Deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0) {
                // Half a frame that does not go on: the stream is out of step and no later
                // frame could be told apart from garbage.
                if (FReader.Pending() > 0) {
                    Close();
                    return ReceiveResult::Closed;
                }
                return ReceiveResult::Timeout;
            }
            if (!ReadSome())
                return ReceiveResult::Closed;
        }
    }

    void Drain() override {
        while (IsOpen()) {
            pollfd p{FSocket.Get(), POLLIN, 0};
            if (::poll(&p, 1, 0) != 1 || !ReadSome())
                break;
        }
        while (FReader.Next()) {
        }
        if (FReader.Broken())
            Close();
    }

private:
    // False (and closed) when the peer has closed the stream or it failed.
    bool ReadSome() {
        std::uint8_t buffer[16384];
        ssize_t n = ::recv(FSocket.Get(), buffer, sizeof buffer, 0);
        if (n > 0) {
            FReader.Append({buffer, static_cast<std::size_t>(n)});
            return true;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return true;
        Close();
        return false;
    }

    Socket FSocket;
    FrameReader FReader;
};

} // namespace

std::unique_ptr<Transport> MakeTransport(TransportKind Kind) {
    if (Kind == TransportKind::Tcp)
        return std::make_unique<TcpTransport>();
    return std::make_unique<UdpTransport>();
}

} // namespace qor::xcp
