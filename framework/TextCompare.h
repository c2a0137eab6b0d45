#pragma once
// Case-insensitive text comparison that follows the process's character locale
// (LC_CTYPE, one byte per character), as names, keys and sections are compared.

#include <cstddef>
#include <string_view>

namespace qor {

// Lower-case form of one character under the current character locale.
char LowerChar(char c);
// Negative, zero or positive as a sorts before, with or after b, ignoring case.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// Hash that is equal for texts that SameText finds equal.
std::size_t TextHash(std::string_view s);

} // namespace qor
