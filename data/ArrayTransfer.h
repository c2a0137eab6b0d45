#pragma once
// Library calls that move several values at once, for vectors and maps. The library
// moves as many values as the ECU's item holds, which the object cannot check: a
// descriptor whose values per row are 0 (an object whose count was never set) lets any
// length through. So every such call goes through a buffer with room for the most one
// call can move (a vector, a map row or a one-column map has at most 255 values), and the
// library can neither write past nor read past the object's own storage.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace qor {

constexpr std::size_t MaxTransferValues = 255;
using TTransferBuffer = std::array<std::int32_t, MaxTransferValues>;

// Calls Read(buffer) with the buffer holding Dest's present values, then copies Count
// values back into Dest, so that a read that moves nothing changes nothing.
template <class TRead> bool ReadValues(std::int32_t* Dest, std::size_t Count, TRead Read) {
    TTransferBuffer buffer{};
    std::copy_n(Dest, Count, buffer.begin());
    const bool ok = Read(buffer.data());
    std::copy_n(buffer.begin(), Count, Dest);
    return ok;
}

// Calls Write(buffer) with Source's Count values followed by zeros.
template <class TWrite>
bool WriteValues(const std::int32_t* Source, std::size_t Count, TWrite Write) {
    TTransferBuffer buffer{};
    std::copy_n(Source, Count, buffer.begin());
    return Write(buffer.data());
}

} // namespace qor
