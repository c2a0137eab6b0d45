#pragma once
// Positions in ECU description files and the one error type of their reader.

#include <stdexcept>
#include <string>

namespace qor::a2l {

struct TPosition {
    int File = 0; // index into the reader's list of files (0: the file asked for)
    int Line = 1;
    int Column = 1;
};

// A malformed file: the message is "FILE:LINE:COLUMN: what is wrong".
class EA2lError : public std::runtime_error {
public:
    EA2lError(const std::string& FileName, TPosition Pos, const std::string& What)
        : std::runtime_error(FileName + ":" + std::to_string(Pos.Line) + ":" +
                             std::to_string(Pos.Column) + ": " + What),
          FFileName(FileName), FPos(Pos), FWhat(What) {}

    const std::string& FileName() const { return FFileName; }
    int Line() const { return FPos.Line; }
    int Column() const { return FPos.Column; }
    // The message without the place.
    const std::string& Reason() const { return FWhat; }

private:
    std::string FFileName;
    TPosition FPos;
    std::string FWhat;
};

} // namespace qor::a2l
