#pragma once
// The simulator's XCP slave for the XCP tests: the simulator library opened once, its UDP
// and TCP sockets on free loopback ports, and everything reset before each test.

#include "tests/support/SimLibrary.h"
#include "xcp/XcpMaster.h"

#include <gtest/gtest.h>

namespace qor::test {

inline TSimLibrary& XcpSim() {
    static TSimLibrary sim{QOR_ECUSIM_FILE};
    return sim;
}

inline int XcpPort(xcp::TransportKind Kind) {
    return XcpSim().XcpStart(Kind == xcp::TransportKind::Tcp ? qxtTcp : qxtUdp, 0);
}

inline QorSimXcpConfig DefaultXcpConfig() {
    return QorSimXcpConfig{0, 255, 1500, 0, 8, 0};
}

inline void AddXcpFault(QorSimXcpFaultKind Kind, std::int32_t Command, std::int32_t Count,
                        std::int32_t Param = 0) {
    const QorSimXcpFault fault{Kind, Command, Count, Param};
    XcpSim().XcpAddFault(&fault);
}

inline const char* TransportName(const ::testing::TestParamInfo<xcp::TransportKind>& Info) {
    return Info.param == xcp::TransportKind::Tcp ? "Tcp" : "Udp";
}

} // namespace qor::test
