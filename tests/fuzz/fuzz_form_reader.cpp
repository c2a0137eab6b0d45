// Fuzz target: the text form reader on arbitrary text into the framework's, the link's and
// the data layer's registered classes. A read either raises or gives a form; a form that
// was read writes a text that reads again and writes the same text once more.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"

#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

using namespace qor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const bool registered = (RegisterDataClasses(), true);
    (void)registered;
    const std::string_view text(reinterpret_cast<const char*>(Data), Size);
    std::unique_ptr<TComponent> form;
    try {
        form = ReadComponentText(text);
    } catch (const std::exception&) {
        return 0;
    }
    const std::string written = WriteComponentText(*form);
    form.reset();
    std::unique_ptr<TComponent> again;
    try {
        again = ReadComponentText(written);
    } catch (const std::exception&) {
        std::abort(); // what the writer wrote must read back
    }
    if (WriteComponentText(*again) != written)
        std::abort();
    return 0;
}
