// Fuzz target: command packets as the simulator's XCP slave receives them, over a small
// memory, in every configuration the first byte picks. The slave must never read past a
// command or write outside its memory.

#include "ecusim/XcpSlave.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace qor::ecusim;

namespace {
class SmallMemory final : public XcpMemory {
public:
    bool Read(std::uint8_t Extension, std::uint32_t Address, std::uint8_t* Dest,
              std::size_t Count) override {
        if (Extension != 0 || Address > Bytes.size() || Count > Bytes.size() - Address)
            return false;
        std::memcpy(Dest, Bytes.data() + Address, Count);
        return true;
    }
    bool Write(std::uint8_t Extension, std::uint32_t Address, const std::uint8_t* Source,
               std::size_t Count) override {
        if (Extension != 0 || Address > Bytes.size() || Count > Bytes.size() - Address)
            return false;
        std::memcpy(Bytes.data() + Address, Source, Count);
        return true;
    }
    std::array<std::uint8_t, 512> Bytes{};
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 2)
        return 0;
    SmallMemory memory;
    XcpSlave slave(memory);
    XcpSlaveConfig config;
    config.Motorola = Data[0] & 1;
    config.MasterBlockMode = Data[0] & 2;
    config.MaxCto = 8 + Data[1] % 248;
    config.MaxBlockSize = 1 + (Data[0] >> 4);
    slave.Configure(config);
    // Commands are separated by their own length byte: [n] then n bytes.
    for (std::size_t at = 2; at < Size;) {
        const std::size_t n = std::min<std::size_t>(Data[at], Size - at - 1);
        std::optional<XcpPacket> answer = slave.Handle({Data + at + 1, n});
        if (answer && answer->size() > static_cast<std::size_t>(config.MaxCto))
            std::abort(); // an answer longer than the slave declared
        at += n + 1;
    }
    return 0;
}
