#include "framework/TextCompare.h"

#include <cctype>
#include <cstring>

namespace qor {

char LowerChar(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

int CompareText(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerChar(a[i]));
        const auto cb = static_cast<unsigned char>(LowerChar(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    if (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true; // the usual case: the same spelling
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i]))
            return false;
    return true;
}

std::size_t TextHash(std::string_view s) {
    // FNV-1a over the lower-case characters.
    std::size_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(LowerChar(c));
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace qor
