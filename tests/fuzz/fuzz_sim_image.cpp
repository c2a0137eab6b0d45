// Fuzz target: the simulator's image file parser on arbitrary text. It answers an image or
// an error naming a line, never both; every item of an image lies inside the memory, apart
// from the others, and reads back within its type.

#include "ecusim/SimImage.h"

#include <cstdlib>
#include <string>

using namespace qor::ecusim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const ParseResult r = ParseImage(std::string(reinterpret_cast<const char*>(Data), Size));
    if (r.Image.has_value() == !r.Error.empty())
        std::abort();
    if (!r.Image)
        return r.Error.rfind("line ", 0) == 0 ? 0 : (std::abort(), 0);
    const SimImage& image = *r.Image;
    std::vector<bool> used(SimImage::MemorySize);
    for (const SimItem& item : image.Items()) {
        if (item.Width != 1 && item.Width != 2)
            std::abort();
        if (!image.InMemory(item.Address, item.Bytes()) || image.Find(item.Code) != &item)
            std::abort();
        for (std::uint32_t b = item.Address; b < item.Address + item.Bytes(); ++b) {
            if (used[b])
                std::abort();
            used[b] = true;
        }
        const std::int32_t lo = item.Signed ? -(1 << (8 * item.Width - 1)) : 0;
        const std::int32_t hi =
            item.Signed ? (1 << (8 * item.Width - 1)) - 1 : (1 << (8 * item.Width)) - 1;
        if (item.Kind != ItemKind::Packet)
            for (int i = 0; i < item.Elements(); ++i)
                if (std::int32_t v = image.Get(item, i); v < lo || v > hi)
                    std::abort();
    }
    return 0;
}
