#include "framework/LineStore.h"

#include <functional>
#include <limits>
#include <stdexcept>

namespace qor {

namespace {
// Below this much waste a buffer is never copied: small lists stay as they are.
constexpr std::size_t MinWasteToCompact = 4096;
} // namespace

bool TLineStore::InBuffer(std::string_view Line) const {
    const std::less<const char*> before;
    return !Line.empty() && !before(Line.data(), FText.data()) &&
           before(Line.data(), FText.data() + FText.size());
}

void TLineStore::CompactWhenWasteful() {
    if (FWaste < MinWasteToCompact || FWaste < FText.size() - FWaste)
        return;
    std::string text;
    text.reserve(FText.size() - FWaste); // the only step that can fail: nothing changed yet
    for (TPlace& p : FPlaces) {
        const auto offset = static_cast<std::uint32_t>(text.size()); // below the old size
        text.append(FText, p.Offset, p.Length);
        p.Offset = offset;
    }
    FText.swap(text);
    FWaste = 0;
}

TLineStore::TPlace TLineStore::AppendText(std::string_view Line) {
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max();
    if (Line.size() > limit - FText.size())
        throw std::length_error("A string list holds at most 4 GiB of text");
    const TPlace place{static_cast<std::uint32_t>(FText.size()),
                       static_cast<std::uint32_t>(Line.size())};
    FText.append(Line);
    return place;
}

void TLineStore::Insert(std::size_t Index, std::string_view Line) {
    if (InBuffer(Line)) {
        const std::string copy(Line); // compacting or growing the buffer would move it
        Insert(Index, copy);
        return;
    }
    CompactWhenWasteful();
    // Room first: once the text is appended, inserting its place cannot fail.
    if (FPlaces.size() == FPlaces.capacity())
        FPlaces.reserve(std::max<std::size_t>(16, 2 * FPlaces.capacity()));
    const TPlace place = AppendText(Line);
    FPlaces.insert(FPlaces.begin() + static_cast<std::ptrdiff_t>(Index), place);
}

std::string_view TLineStore::Replace(std::size_t Index, std::string_view Line) {
    if (InBuffer(Line)) {
        const std::string copy(Line);
        return Replace(Index, copy);
    }
    CompactWhenWasteful();
    const TPlace old = FPlaces[Index];
    FPlaces[Index] = AppendText(Line);
    FWaste += old.Length;
    return View(old);
}

std::string_view TLineStore::Erase(std::size_t Index) {
    CompactWhenWasteful();
    const TPlace old = FPlaces[Index];
    FPlaces.erase(FPlaces.begin() + static_cast<std::ptrdiff_t>(Index));
    FWaste += old.Length;
    return View(old);
}

void TLineStore::Clear() noexcept {
    std::string().swap(FText);
    std::vector<TPlace>().swap(FPlaces);
    FWaste = 0;
}

} // namespace qor
