#pragma once
// The memory block in which a caller keeps INI text for TMemIniData (Qormeminifile.h):
//
//   offset 0      4 bytes  N, a signed 32-bit little-endian count of text bytes
//   offset 4      N bytes  the INI text, 8-bit characters
//   offset 4 + N  1 byte   a zero byte
//
// Every block written here or by a store is exactly N + 5 bytes long. A block that is read
// need not end in the zero byte; when its N is negative its text runs up to the first zero
// byte after the length field.
//
// Blocks are arrays of bytes from new[]. A store releases the caller's block when it hands
// back a new one, so every block given to a store must come from AllocMemIniBlock (or
// NewMemIniBlock), and every block must finally go to FreeMemIniBlock; TMemIniBlock does
// both for a caller.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qor {

// Size in bytes of the length field before the text.
inline constexpr std::size_t MemIniLengthSize = 4;

// An uninitialised block of Size bytes. Raises std::bad_alloc when memory runs short.
std::uint8_t* AllocMemIniBlock(std::size_t Size);
// Releases a block from AllocMemIniBlock, NewMemIniBlock or a store; null is ignored.
void FreeMemIniBlock(std::uint8_t* Block) noexcept;

// A new block of Text.size() + 5 bytes that holds Text in the format above. Raises
// std::length_error when Text has more bytes than the length field can count.
std::uint8_t* NewMemIniBlock(std::string_view Text);
// A new block for a text of TextSize bytes: the length field and the closing zero byte are
// written, the TextSize bytes from MemIniBlockTextStart on are left for the caller to fill.
// Raises as NewMemIniBlock.
std::uint8_t* NewMemIniBlock(std::size_t TextSize);
// Where the text of a block starts.
inline char* MemIniBlockTextStart(std::uint8_t* Block) {
    return reinterpret_cast<char*>(Block + MemIniLengthSize);
}

// The length field N of a block of at least 4 bytes.
std::int32_t MemIniBlockLength(const std::uint8_t* Block);

// The text of a block whose size is unknown, as the format gives it: N bytes, or the bytes
// up to the first zero byte when N is negative. The block must hold them: nothing here can
// check. Empty for a null block.
std::string_view MemIniBlockText(const std::uint8_t* Block);

// The text of a block of Size bytes, never reading past its end: N bytes when the block
// holds them; when N is negative, the bytes up to the first zero byte or to the end of the
// block; when N is larger than the block, the rest of the block. Empty for a null block or
// one too short for the length field.
std::string_view MemIniBlockText(const std::uint8_t* Block, std::size_t Size);

// Holds a caller's block pointer and frees the block it points to when it goes. Ref() is
// the variable to give a store, which may replace the block in it (UpdateFile); the holder
// then frees that newer block.
class TMemIniBlock {
public:
    // No block: a store over it starts empty.
    TMemIniBlock() = default;
    // A new block holding Text (NewMemIniBlock).
    explicit TMemIniBlock(std::string_view Text) : FBlock(NewMemIniBlock(Text)) {}
    // Takes over Block, which must come from AllocMemIniBlock, NewMemIniBlock or a store.
    explicit TMemIniBlock(std::uint8_t* Block) noexcept : FBlock(Block) {}
    ~TMemIniBlock() { FreeMemIniBlock(FBlock); }

    TMemIniBlock(TMemIniBlock&& Other) noexcept : FBlock(Other.Release()) {}
    TMemIniBlock& operator=(TMemIniBlock&& Other) noexcept {
        if (this != &Other)
            Reset(Other.Release());
        return *this;
    }
    TMemIniBlock(const TMemIniBlock&) = delete;
    TMemIniBlock& operator=(const TMemIniBlock&) = delete;

    // The pointer variable itself, for TMemIniData's constructor.
    std::uint8_t*& Ref() noexcept { return FBlock; }
    std::uint8_t* Get() const noexcept { return FBlock; }
    // Gives up the block without freeing it; the holder is left empty.
    std::uint8_t* Release() noexcept {
        std::uint8_t* block = FBlock;
        FBlock = nullptr;
        return block;
    }
    // Frees the current block and takes over Block.
    void Reset(std::uint8_t* Block = nullptr) noexcept {
        FreeMemIniBlock(FBlock);
        FBlock = Block;
    }

private:
    std::uint8_t* FBlock = nullptr;
};

} // namespace qor
