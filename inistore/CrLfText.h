#pragma once
// A string list that keeps its lines as one text, each line followed by CR LF, so that the
// whole text of a large INI store is built in a single buffer instead of as one string per
// line that is then joined.

#include "framework/StringList.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qor {

class TCrLfText : public TStrings {
public:
    // Appending costs the line's length; inserting or deleting before the end rebuilds the
    // text after that line.
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;

    // Every line followed by CR LF, as Text() gives it, without a copy.
    const std::string& Joined() const { return FText; }

protected:
    std::string Get(int Index) const override;
    int GetCount() const override { return static_cast<int>(FStarts.size()); }

private:
    void CheckIndex(int Index, int Limit) const;

    std::string FText;
    std::vector<std::size_t> FStarts; // where each line starts in FText
};

} // namespace qor
