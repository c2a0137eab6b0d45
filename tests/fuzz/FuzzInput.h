#pragma once
// Takes a fuzz input apart: small numbers and texts from the front, the rest as it is.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qor::fuzz {

class TInput {
public:
    TInput(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}

    bool Empty() const { return FAt >= FSize; }
    // The next byte, 0 once the input is used up.
    std::uint8_t Byte() { return FAt < FSize ? FData[FAt++] : 0; }
    // A text of up to Max bytes, its length given by the byte before it.
    std::string Text(std::size_t Max = 32) {
        std::size_t n = Byte() % (Max + 1);
        n = std::min(n, FSize - std::min(FAt, FSize));
        std::string s(reinterpret_cast<const char*>(FData + FAt), n);
        FAt += n;
        return s;
    }
    // Whatever is left.
    std::string_view Rest() {
        std::string_view s(reinterpret_cast<const char*>(FData) + std::min(FAt, FSize),
                           FSize - std::min(FAt, FSize));
        FAt = FSize;
        return s;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FAt = 0;
};

} // namespace qor::fuzz
