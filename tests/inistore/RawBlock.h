#pragma once
// Memory blocks built byte by byte for the tests, with any length field.

#include "inistore/MemIniBlock.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace qor::test {

// A block of exactly the length field and Bytes, allocated as stores allocate, so that
// the AddressSanitizer build reports any read past its end.
inline TMemIniBlock RawBlock(std::int32_t Length, const std::string& Bytes) {
    std::uint8_t* block = AllocMemIniBlock(MemIniLengthSize + Bytes.size());
    const auto bits = static_cast<std::uint32_t>(Length);
    for (std::size_t i = 0; i < MemIniLengthSize; ++i)
        block[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    if (!Bytes.empty())
        std::memcpy(block + MemIniLengthSize, Bytes.data(), Bytes.size());
    return TMemIniBlock(block);
}

} // namespace qor::test
