// Fuzz target: bytes as an ECU description. The reader either gives a model, which the
// mapping then takes, or an error that names the place; it never crashes, and /include is
// kept from opening files.

#include "a2l/A2lMapping.h"
#include "a2l/A2lReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace qor::a2l;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TReaderLimits limits;
    limits.Lexer.Files = 1; // the input alone: an /include fails before it opens anything
    limits.ListItems = 4096;
    const TReadResult r =
        TryReadA2lText(std::string(reinterpret_cast<const char*>(Data), Size), "fuzz.a2l", limits);
    if (!r.Project) {
        if (r.Error.rfind("fuzz.a2l:", 0) != 0)
            std::abort();
        return 0;
    }
    const TMapping m = MapProject(*r.Project);
    for (const THeldItem& i : m.Items)
        if (i.Rows < 1 || i.Rows > 255 || i.Cols < 1 || i.Cols > 255 || i.Code > 255)
            std::abort();
    return 0;
}
