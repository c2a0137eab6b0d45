#pragma once
// The communication library under test for the data tests, chosen by the environment:
// the simulator library (default), or with QOR_TEST_LINK=xcp the XCP library talking to
// the simulator's XCP slave over UDP on the loopback. Both offer what the tests use of
// the simulator's control API under the same names:
//   - image values, memory and the live packet: the simulator's, in both cases (the slave
//     serves the same image);
//   - the call log: the simulator's log, or the XCP library's trace of contract calls;
//   - FailNext: the simulator's injected failure, or error packets of the slave for the
//     next uploads (reads) or downloads (writes); InjectedStatus() is the status word that
//     results;
//   - SetConnected: the simulator's link flag, or the slave going away and coming back.
// Forced status words exist only in the simulator (ForcesStatusWords()).

#include "tests/support/SimLibrary.h"
#include "xcp/XcpControl.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace qor::test {

// Error code of the error packets that stand for an injected failure over XCP.
constexpr std::uint8_t XcpInjectedError = 0x31;

class TXcpLibrary {
public:
    TXcpLibrary() {
        FHandle = dlopen(QOR_XCP_FILE, RTLD_NOW | RTLD_LOCAL);
        if (!FHandle)
            throw std::runtime_error(std::string("cannot open the XCP library: ") + dlerror());
        Look(SetTrace, "QorXcp_SetTrace");
        Look(CallCount, "QorXcp_CallCount");
        Look(GetCall, "QorXcp_GetCall");
        Look(ClearLog, "QorXcp_ClearLog");
        SetTrace(1);
    }
    ~TXcpLibrary() { dlclose(FHandle); }
    TXcpLibrary(const TXcpLibrary&) = delete;
    TXcpLibrary& operator=(const TXcpLibrary&) = delete;

    decltype(&QorXcp_SetTrace) SetTrace = nullptr;
    decltype(&QorXcp_CallCount) CallCount = nullptr;
    decltype(&QorXcp_GetCall) GetCall = nullptr;
    decltype(&QorXcp_ClearLog) ClearLog = nullptr;

private:
    template <class F> void Look(F& Function, const char* Name) {
        Function = reinterpret_cast<F>(dlsym(FHandle, Name));
        if (!Function)
            throw std::runtime_error(std::string("the XCP library does not export ") + Name);
    }
    void* FHandle = nullptr;
};

class TTestLink {
public:
    TTestLink() : FSim(QOR_ECUSIM_FILE) {}

    static bool OverXcp() {
        const char* link = std::getenv("QOR_TEST_LINK");
        return link && std::string(link) == "xcp";
    }

    // What a connection's DllName is set to.
    std::string DllPath() const { return OverXcp() ? QOR_XCP_FILE : QOR_ECUSIM_FILE; }
    std::string DllName() const { return std::filesystem::path(DllPath()).filename().string(); }

    int Reset(const char* ImagePath, char* Error, int ErrorSize) {
        if (!FSim.Reset(ImagePath, Error, ErrorSize))
            return 0;
        if (OverXcp()) {
            WriteDescription();
            Xcp().ClearLog();
        }
        return 1;
    }
    void ResetDefault() {
        char error[256] = {};
        if (!Reset(nullptr, error, sizeof error))
            throw std::runtime_error(error);
    }

    int GetValue(int Code, int Index, std::int32_t* Value) {
        return FSim.GetValue(Code, Index, Value);
    }
    int SetValue(int Code, int Index, std::int32_t Value) {
        return FSim.SetValue(Code, Index, Value);
    }
    void SetLive(int Live) { FSim.SetLive(Live); }

    std::vector<QorSimCall> Calls() {
        if (!OverXcp())
            return FSim.Calls();
        std::vector<QorSimCall> out;
        QorXcpCall c{};
        for (std::int32_t i = 0; Xcp().GetCall(i, &c); ++i)
            out.push_back(
                QorSimCall{c.Op, c.Descriptor, {c.Args[0], c.Args[1], c.Args[2]}, c.Result});
        return out;
    }
    std::vector<std::string> Log() {
        std::vector<std::string> out;
        for (const QorSimCall& c : Calls())
            out.push_back(TSimLibrary::Format(c));
        return out;
    }
    std::int32_t CallCount() { return OverXcp() ? Xcp().CallCount() : FSim.CallCount(); }
    void ClearLog() { OverXcp() ? Xcp().ClearLog() : FSim.ClearLog(); }

    void FailNext(std::int32_t Op, std::int32_t Count) {
        if (!OverXcp())
            return FSim.FailNext(Op, Count);
        const bool read = Op >= qsoReadData && Op <= qsoReadAtAddress;
        const QorSimXcpFault fault{qxfErrorPacket, read ? qxcAnyUpload : qxcAnyDownload, Count,
                                   XcpInjectedError};
        FSim.XcpAddFault(&fault);
    }
    std::int32_t InjectedStatus() const {
        return OverXcp() ? qxsSlaveError | XcpInjectedError << QorXcpErrorCodeShift : qssInjected;
    }

    bool ForcesStatusWords() const { return !OverXcp(); }
    void SetStatusWord(std::int32_t Status) {
        if (!ForcesStatusWords())
            throw std::logic_error("the XCP link has no forced status words");
        FSim.SetStatusWord(Status);
    }

    void SetConnected(int Connected) {
        if (OverXcp())
            FSim.XcpSetOnline(Connected);
        else
            FSim.SetConnected(Connected);
    }

private:
    static TXcpLibrary& Xcp() {
        static TXcpLibrary xcp;
        return xcp;
    }

    // The slave and its description file, one of each for the test program.
    struct TXcpSlave {
        TXcpSlave()
            : Port(Sim.XcpStart(qxtUdp, 0)), Path((std::filesystem::temp_directory_path() /
                                                   ("qor-xcp-" + std::to_string(getpid()) + ".xcp"))
                                                      .string()) {
            setenv("QOR_XCP_DESCRIPTION", Path.c_str(), 1);
        }
        ~TXcpSlave() { std::filesystem::remove(Path); }
        // Held open for the program, so that the slave outlives each test's handle.
        TSimLibrary Sim{QOR_ECUSIM_FILE};
        int Port;
        std::string Path;
    };

    // The description of the image, written again after each reset.
    void WriteDescription() {
        static TXcpSlave slave;
        const int port = slave.Port;
        std::ofstream out(slave.Path, std::ios::trunc);
        out << "slave 127.0.0.1 " << port << " udp\n"
            << "timeout 200\nretries 2\nreconnect 0\nprobe 0\n";
        static const char* kinds[] = {"value", "vector", "map", "packet"};
        for (int code = 0; code < 256; ++code) {
            QorSimItem item{};
            if (!FSim.GetItem(code, &item))
                continue;
            const char* type =
                item.Width == 2 ? (item.Signed ? "s16" : "u16") : (item.Signed ? "s8" : "u8");
            out << kinds[item.Kind] << ' ' << code << " item" << code << ' ' << item.Address;
            if (item.Kind == qsiPacket)
                out << ' ' << item.Cols << '\n';
            else if (item.Kind == qsiValue)
                out << ' ' << type << '\n';
            else if (item.Kind == qsiVector)
                out << ' ' << type << ' ' << item.Cols << '\n';
            else
                out << ' ' << type << ' ' << item.Rows << ' ' << item.Cols << '\n';
        }
    }

    TSimLibrary FSim;
};

} // namespace qor::test
