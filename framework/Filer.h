#pragma once
// Readers and writers of defined properties: properties that a component streams besides
// its published ones (DefineProperties), written as values or lists of values.

#include "framework/Properties.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qor {

// A malformed form file or a value that does not fit; carries the position in the text.
class EReadError : public std::runtime_error {
public:
    EReadError(const std::string& Message, int Line, int Column);
    int Line() const { return FLine; }
    int Column() const { return FColumn; }

private:
    int FLine;
    int FColumn;
};

class TReader;
class TWriter;
using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;

// Passed to DefineProperties: each call names one defined property with its reader,
// its writer and whether there is something to write.
class TFiler {
public:
    virtual ~TFiler() = default;
    virtual void DefineProperty(const std::string& Name, TReaderProc ReadData,
                                TWriterProc WriteData, bool HasData) = 0;
};

// Reads one defined property's value. Lists are entered with ReadListBegin and left with
// ReadListEnd; the item readers take the next item of the innermost open list (or the
// value itself when no list is open). A value of the wrong kind or a list of the wrong
// length raises EReadError at the property's position.
class TReader {
public:
    TReader(const TValue& Value, int Line, int Column);

    void ReadListBegin();
    bool EndOfList() const;
    void ReadListEnd();
    std::int64_t ReadInteger();
    double ReadFloat(); // accepts integers too
    std::string ReadString();
    bool ReadBoolean();
    TValue ReadValue();

    [[noreturn]] void Error(const std::string& Message) const;

private:
    const TValue& Next();

    struct Level {
        const TValueList* List;
        std::size_t Index;
    };
    const TValue& FValue;
    bool FConsumed = false;
    std::vector<Level> FStack;
    int FLine;
    int FColumn;
};

// Builds one defined property's value.
class TWriter {
public:
    void WriteListBegin();
    void WriteListEnd();
    void WriteInteger(std::int64_t Value);
    void WriteFloat(double Value);
    void WriteString(const std::string& Value);
    void WriteBoolean(bool Value);
    void WriteValue(TValue Value);

    // The value written; raises std::logic_error while a list is still open.
    TValue Result() const;

private:
    void Put(TValue Value);

    std::vector<TValueList> FOpen;
    TValue FResult;
    bool FHasResult = false;
};

} // namespace qor
