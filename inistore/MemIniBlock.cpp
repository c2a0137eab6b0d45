#include "inistore/MemIniBlock.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace qor {

std::uint8_t* AllocMemIniBlock(std::size_t Size) {
    return new std::uint8_t[Size];
}

void FreeMemIniBlock(std::uint8_t* Block) noexcept {
    delete[] Block;
}

std::uint8_t* NewMemIniBlock(std::size_t TextSize) {
    if (TextSize > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::length_error("INI text too long for a memory block");
    const auto length = static_cast<std::uint32_t>(TextSize);
    std::uint8_t* block = AllocMemIniBlock(MemIniLengthSize + TextSize + 1);
    for (std::size_t i = 0; i < MemIniLengthSize; ++i)
        block[i] = static_cast<std::uint8_t>(length >> (8 * i));
    block[MemIniLengthSize + TextSize] = 0;
    return block;
}

std::uint8_t* NewMemIniBlock(std::string_view Text) {
    std::uint8_t* block = NewMemIniBlock(Text.size());
    if (!Text.empty())
        std::memcpy(MemIniBlockTextStart(block), Text.data(), Text.size());
    return block;
}

std::int32_t MemIniBlockLength(const std::uint8_t* Block) {
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < MemIniLengthSize; ++i)
        length |= static_cast<std::uint32_t>(Block[i]) << (8 * i);
    return static_cast<std::int32_t>(length); // two's complement, as the field is stored
}

std::string_view MemIniBlockText(const std::uint8_t* Block) {
    if (!Block)
        return {};
    const auto* text = reinterpret_cast<const char*>(Block + MemIniLengthSize);
    const std::int32_t length = MemIniBlockLength(Block);
    if (length < 0)
        return std::string_view(text); // up to the first zero byte
    return std::string_view(text, static_cast<std::size_t>(length));
}

std::string_view MemIniBlockText(const std::uint8_t* Block, std::size_t Size) {
    if (!Block || Size < MemIniLengthSize)
        return {};
    const auto* text = reinterpret_cast<const char*>(Block + MemIniLengthSize);
    const std::size_t room = Size - MemIniLengthSize;
    const std::int32_t length = MemIniBlockLength(Block);
    if (length < 0) {
        const void* zero = std::memchr(text, 0, room);
        return std::string_view(text, zero ? static_cast<const char*>(zero) - text : room);
    }
    return std::string_view(text, std::min(static_cast<std::size_t>(length), room));
}

} // namespace qor
