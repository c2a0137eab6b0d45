// Fuzz target: the in-memory INI store's round trip. Arbitrary text is parsed, rendered by
// UpdateFile and parsed again: both stores must hold the same sections with the same
// lines, and rendering the second must give the same block again.

#include "framework/StringList.h"
#include "inistore/Qormeminifile.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using namespace qor;

namespace {

std::vector<std::string> Lines(const TMemIniData& Ini) {
    TStringList lines;
    Ini.GetStrings(lines);
    std::vector<std::string> out;
    for (int i = 0; i < lines.Count(); ++i)
        out.push_back(lines[i]);
    return out;
}

std::string_view BlockBytes(const std::uint8_t* Block) {
    return {reinterpret_cast<const char*>(Block),
            MemIniLengthSize + static_cast<std::size_t>(MemIniBlockLength(Block)) + 1};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemIniBlock first(std::string_view(reinterpret_cast<const char*>(Data), Size));
    TMemIniData a(first.Ref(), Size + MemIniLengthSize + 1);
    a.UpdateFile();
    const std::string rendered(BlockBytes(first.Get()));

    TMemIniBlock second(AllocMemIniBlock(rendered.size()));
    std::memcpy(second.Get(), rendered.data(), rendered.size());
    TMemIniData b(second.Ref(), rendered.size());
    if (Lines(a) != Lines(b))
        std::abort();
    TStringList sa, sb;
    a.ReadSections(sa);
    b.ReadSections(sb);
    if (sa.Text() != sb.Text())
        std::abort();
    b.UpdateFile();
    if (BlockBytes(second.Get()) != rendered)
        std::abort();
    return 0;
}
