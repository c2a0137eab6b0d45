#include "inistore/CrLfText.h"

#include <algorithm>

namespace qor {

namespace {

constexpr std::size_t kLineEnd = 2; // CR LF

} // namespace

void TCrLfText::CheckIndex(int Index, int Limit) const {
    if (Index < 0 || Index > Limit)
        throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
}

std::string TCrLfText::Get(int Index) const {
    CheckIndex(Index, GetCount() - 1);
    const auto i = static_cast<std::size_t>(Index);
    const std::size_t start = FStarts[i];
    const std::size_t end = i + 1 < FStarts.size() ? FStarts[i + 1] : FText.size();
    return FText.substr(start, end - start - kLineEnd);
}

void TCrLfText::Insert(int Index, const std::string& S) {
    CheckIndex(Index, GetCount());
    const auto i = static_cast<std::size_t>(Index);
    const std::size_t start = i < FStarts.size() ? FStarts[i] : FText.size();
    // Room first, so that a failure leaves the text and the starts in step. Both grow
    // geometrically (a vector's reserve takes exactly what it is asked for), so that
    // appends stay linear.
    if (FStarts.size() == FStarts.capacity())
        FStarts.reserve(std::max<std::size_t>(16, 2 * FStarts.capacity()));
    const std::size_t size = FText.size() + S.size() + kLineEnd;
    if (size > FText.capacity())
        FText.reserve(std::max(size, 2 * FText.capacity()));
    FText.insert(start, S);
    FText.insert(start + S.size(), "\r\n");
    FStarts.insert(FStarts.begin() + Index, start);
    for (std::size_t k = i + 1; k < FStarts.size(); ++k)
        FStarts[k] += S.size() + kLineEnd;
}

void TCrLfText::Delete(int Index) {
    CheckIndex(Index, GetCount() - 1);
    const auto i = static_cast<std::size_t>(Index);
    const std::size_t start = FStarts[i];
    const std::size_t end = i + 1 < FStarts.size() ? FStarts[i + 1] : FText.size();
    FText.erase(start, end - start);
    FStarts.erase(FStarts.begin() + Index);
    for (std::size_t k = i; k < FStarts.size(); ++k)
        FStarts[k] -= end - start;
}

void TCrLfText::Clear() {
    FText.clear();
    FStarts.clear();
}

} // namespace qor
