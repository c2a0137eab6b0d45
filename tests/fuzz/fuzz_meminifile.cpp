// Fuzz target: the in-memory INI store over an arbitrary block, whose length field may lie
// (negative, zero, larger than the block), then reads, writes, erases, deletes and
// UpdateFile driven by the rest of the input. The block is allocated at its exact size, so
// a read past its end is caught. After each UpdateFile the new block must hold exactly the
// store's text.

#include "framework/StringList.h"
#include "inistore/Qormeminifile.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace qor;

namespace {

std::string Rendered(const TMemIniData& Ini) {
    TStringList lines;
    Ini.GetStrings(lines);
    std::string text;
    for (int i = 0; i < lines.Count(); ++i)
        text += lines[i] + "\r\n";
    return text;
}

// The new block's length field and closing zero are those of the store's text.
void CheckBlock(const TMemIniData& Ini, const std::uint8_t* Block) {
    const std::string text = Rendered(Ini);
    if (MemIniBlockLength(Block) != static_cast<std::int32_t>(text.size()) ||
        std::memcmp(Block + MemIniLengthSize, text.data(), text.size()) != 0 ||
        Block[MemIniLengthSize + text.size()] != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 2)
        return 0;
    fuzz::TInput in(Data, Size);
    const std::uint8_t mode = in.Byte();
    const std::size_t blockSize = std::min<std::size_t>(in.Byte() * 4u, Size - 2);
    // The block: the input bytes as they are, the length field included.
    TMemIniBlock block(AllocMemIniBlock(blockSize ? blockSize : 1));
    std::memcpy(block.Get(), Data + 2, blockSize);
    for (std::size_t i = 0; i < blockSize; ++i)
        in.Byte();
    // Without a size the block must hold what its length field says; only then is that
    // constructor allowed.
    bool unsizedOk = false;
    if (blockSize >= MemIniLengthSize) {
        const std::int32_t n = MemIniBlockLength(block.Get());
        const std::size_t room = blockSize - MemIniLengthSize;
        unsizedOk = n >= 0 ? static_cast<std::size_t>(n) <= room
                           : std::memchr(block.Get() + MemIniLengthSize, 0, room) != nullptr;
    }
    TMemIniBlock none; // a store over no block at all
    std::uint8_t*& ref = (mode & 1) && blockSize == 0 ? none.Ref() : block.Ref();
    std::unique_ptr<TMemIniData> store = (mode & 2) && unsizedOk
                                             ? std::make_unique<TMemIniData>(ref)
                                             : std::make_unique<TMemIniData>(ref, blockSize);
    TMemIniData& ini = *store;

    TStringList list;
    while (!in.Empty()) {
        const std::uint8_t op = in.Byte();
        const std::string section = in.Text(8);
        const std::string ident = in.Text(8);
        switch (op % 10) {
        case 0:
            ini.ReadString(section, ident, "d");
            break;
        case 1:
            ini.WriteString(section, ident, in.Text(16));
            break;
        case 2:
            ini.EraseSection(section);
            break;
        case 3:
            ini.DeleteKey(section, ident);
            break;
        case 4:
            ini.UpdateFile();
            CheckBlock(ini, *ini.BufferRef());
            break;
        case 5:
            ini.ReadSection(section, list);
            ini.ReadSectionValues(section, list);
            ini.ReadSections(list);
            ini.ReadSections(section, list);
            break;
        case 6: {
            std::string value;
            if (ini.ValueExists(section, ident) != ini.TryReadString(section, ident, value))
                std::abort();
            break;
        }
        case 7:
            ini.ReadInteger(section, ident, 0);
            ini.ReadFloat(section, ident, 0);
            ini.ReadBool(section, ident, false);
            break;
        case 8:
            ini.LoadValues();
            break;
        case 9:
            ini.AddSection(section).Add(ident);
            break;
        }
    }
    return 0;
}
