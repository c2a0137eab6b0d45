#pragma once
// A socket to the slave that moves whole frames: UDP (one datagram per send, each
// datagram read as one or more frames) or TCP (a stream of frames).

#include "xcp/XcpFrame.h"

#include <chrono>
#include <memory>
#include <string>

namespace qor::xcp {

using Clock = std::chrono::steady_clock;

enum class TransportKind { Udp, Tcp };

enum class ReceiveResult { Got, Timeout, Closed };

class Transport {
public:
    virtual ~Transport() = default;
    // Opens the socket towards the slave; false with a reason when that cannot be done (for
    // TCP: when nobody accepts before the deadline).
    virtual bool Open(const std::string& Host, int Port, Clock::time_point Deadline,
                      std::string& Error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Sends one frame; false when the socket is gone (the peer refused or closed it).
    virtual bool Send(std::span<const std::uint8_t> FrameBytes) = 0;
    // Waits for the next frame until the deadline.
    virtual ReceiveResult Receive(Frame& Out, Clock::time_point Deadline) = 0;
    // Drops whatever has arrived and is not read yet.
    virtual void Drain() = 0;
};

std::unique_ptr<Transport> MakeTransport(TransportKind Kind);

} // namespace qor::xcp
