// INI persistence of TQorSerialData under a section chosen by the caller.

#include "data/SerialData.h"

namespace qor {

namespace {

// Puts Section into FileSection for its lifetime, then the previous name back.
class TSectionSwap {
public:
    TSectionSwap(TQorSerialData& Data, const std::string& Section)
        : FData(Data), FWatch(&Data), FSaved(Data.FileSection()) {
        FData.SetFileSection(Section);
    }
    // Not when a handler destroyed the object meanwhile.
    ~TSectionSwap() {
        if (!FWatch.Destroyed())
            FData.SetFileSection(FSaved);
    }
    TSectionSwap(const TSectionSwap&) = delete;
    TSectionSwap& operator=(const TSectionSwap&) = delete;

private:
    TQorSerialData& FData;
    TComponentWatch FWatch;
    std::string FSaved;
};

} // namespace

bool TQorSerialData::SaveToIniSection(TCustomIniFile& Ini, const std::string& Section) {
    TSectionSwap swap(*this, Section);
    return SaveToIni(Ini);
}

bool TQorSerialData::LoadFromIniSection(TCustomIniFile& Ini, const std::string& Section) {
    TSectionSwap swap(*this, Section);
    return LoadFromIni(Ini);
}

} // namespace qor
