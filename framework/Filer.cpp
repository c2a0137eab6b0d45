#include "framework/Filer.h"

namespace qor {

EReadError::EReadError(const std::string& Message, int Line, int Column)
    : std::runtime_error("Line " + std::to_string(Line) + ", column " + std::to_string(Column) +
                         ": " + Message),
      FLine(Line), FColumn(Column) {}

TReader::TReader(const TValue& Value, int Line, int Column)
    : FValue(Value), FLine(Line), FColumn(Column) {}

void TReader::Error(const std::string& Message) const {
    throw EReadError(Message, FLine, FColumn);
}

const TValue& TReader::Next() {
    if (FStack.empty()) {
        if (FConsumed)
            Error("more values read than the property holds");
        FConsumed = true;
        return FValue;
    }
    Level& level = FStack.back();
    if (level.Index >= level.List->size())
        Error("the list has fewer items than expected");
    return (*level.List)[level.Index++];
}

void TReader::ReadListBegin() {
    const TValue& v = Next();
    if (!v.Is<TValueList>())
        Error("a list was expected");
    FStack.push_back({&v.As<TValueList>(), 0});
}

bool TReader::EndOfList() const {
    return FStack.empty() || FStack.back().Index >= FStack.back().List->size();
}

void TReader::ReadListEnd() {
    if (FStack.empty())
        Error("no list is open");
    if (!EndOfList())
        Error("the list has more items than expected");
    FStack.pop_back();
}

std::int64_t TReader::ReadInteger() {
    const TValue& v = Next();
    if (!v.Is<std::int64_t>())
        Error("an integer was expected");
    return v.As<std::int64_t>();
}

double TReader::ReadFloat() {
    const TValue& v = Next();
    if (v.Is<double>())
        return v.As<double>();
    if (v.Is<std::int64_t>())
        return static_cast<double>(v.As<std::int64_t>());
    Error("a floating-point value was expected");
}

std::string TReader::ReadString() {
    const TValue& v = Next();
    if (!v.Is<std::string>())
        Error("a string was expected");
    return v.As<std::string>();
}

bool TReader::ReadBoolean() {
    const TValue& v = Next();
    if (!v.Is<bool>())
        Error("True or False was expected");
    return v.As<bool>();
}

TValue TReader::ReadValue() {
    return Next();
}

void TWriter::Put(TValue Value) {
    if (!FOpen.empty()) {
        FOpen.back().push_back(std::move(Value));
        return;
    }
    if (FHasResult)
        throw std::logic_error("a defined property holds one value; use a list for more");
    FResult = std::move(Value);
    FHasResult = true;
}

void TWriter::WriteListBegin() {
    FOpen.emplace_back();
}

void TWriter::WriteListEnd() {
    if (FOpen.empty())
        throw std::logic_error("WriteListEnd without WriteListBegin");
    TValueList done = std::move(FOpen.back());
    FOpen.pop_back();
    Put(TValue(std::move(done)));
}

void TWriter::WriteInteger(std::int64_t Value) {
    Put(TValue(Value));
}
void TWriter::WriteFloat(double Value) {
    Put(TValue(Value));
}
void TWriter::WriteString(const std::string& Value) {
    Put(TValue(Value));
}
void TWriter::WriteBoolean(bool Value) {
    Put(TValue(Value));
}
void TWriter::WriteValue(TValue Value) {
    Put(std::move(Value));
}

TValue TWriter::Result() const {
    if (!FOpen.empty())
        throw std::logic_error("a list is still open");
    return FResult;
}

} // namespace qor
