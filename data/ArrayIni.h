#pragma once
// What the INI persistence of vectors and maps shares: reading the per-element keys into
// a working copy of the raw values, merging under a partial mask, and cutting the value
// fields of a command entry.

#include "data/IniPersistence.h"
#include "framework/IniFiles.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qor {

// Reads the per-element keys of a vector or map into Slots, which hold the present raw
// values; a slot whose key is missing, whose user text is no number or whose raw text is
// no integer keeps its value. Key(i) names slot i; ToRaw(i, user value, slot) converts a
// user value into the slot and returns false when the conversion has no value, which
// ends the reading with false (the caller drops the slots).
template <class TKey, class TToRaw>
bool ReadIniSlots(TCustomIniFile& Ini, const std::string& Section, bool UserValues,
                  std::span<std::int32_t> Slots, TKey Key, TToRaw ToRaw) {
    std::string text; // one buffer for every value read
    for (std::size_t i = 0; i < Slots.size(); ++i) {
        const std::string& key = Key(static_cast<int>(i));
        if (UserValues) {
            double value = 0.0;
            if (Ini.TryReadString(Section, key, text) && TryParseUserFloat(text, value) &&
                !ToRaw(static_cast<int>(i), value, Slots[i]))
                return false;
        } else {
            int raw = 0;
            if (Ini.ValueExists(Section, key) && ReadIniInteger(Ini, Section, key, raw))
                Slots[i] = raw;
        }
    }
    return true;
}

// Slots[i] = (Around[i] AND NOT Mask) OR (Slots[i] AND Mask).
inline void MergeUnderMask(std::span<std::int32_t> Slots, std::span<const std::int32_t> Around,
                           int Mask) {
    for (std::size_t i = 0; i < Slots.size(); ++i)
        Slots[i] = (Around[i] & ~Mask) | (Slots[i] & Mask);
}

// The value fields of a command entry, one after the other: each is the text before the
// next blank, and the last one (no blank left, or Next(true)) is the whole rest.
class TCommandValues {
public:
    // Line is the whole entry; its first five fields are skipped as a number's loading
    // skips them (cut after the first blank five times).
    explicit TCommandValues(std::string_view Line) : FRest(Line) {
        for (int i = 0; i < 5; ++i)
            FRest = AfterFirstBlank(FRest);
    }
    bool AtEnd() const { return FDone; }
    // The next value (CommandHexValue: empty reads 0, anything not hexadecimal raises).
    int Next(bool TakeRest = false) {
        const std::size_t blank = FRest.find(' ');
        if (TakeRest || blank == std::string_view::npos) {
            FDone = true;
            return CommandHexValue(FRest);
        }
        const int value = CommandHexValue(FRest.substr(0, blank));
        FRest = FRest.substr(blank + 1);
        return value;
    }

private:
    std::string_view FRest;
    bool FDone = false;
};

} // namespace qor
