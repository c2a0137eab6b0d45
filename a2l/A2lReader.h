#pragma once
// Reads an ECU description file (ASAP2 versions 1.5 to 1.7) into the model of
// A2lModel.h. Blocks and keywords the model does not hold (A2ML, IF_DATA of other
// protocols, GROUP, FUNCTION, ...) are skipped whole, so a file from any tool loads.
// A malformed file (a mismatched /end, a missing argument, a bad number, a truncated
// file, a list or a nesting beyond the limits) is an error naming file, line and column.

#include "a2l/A2lLexer.h"
#include "a2l/A2lModel.h"

#include <optional>
#include <string>

namespace qor::a2l {

struct TReaderLimits {
    int Depth = 32;                 // blocks open inside each other
    std::size_t ListItems = 100000; // entries of one list (table pairs, axis values, ...)
    std::size_t Items = 10000000;   // items of one kind in a module
    TLexerLimits Lexer;
};

struct TReadResult {
    std::optional<TProject> Project;
    std::string Error; // "FILE:LINE:COLUMN: reason", empty on success
};

// Throwing forms: a malformed or unreadable file raises EA2lError.
TProject ReadA2l(const std::string& Path, const TReaderLimits& Limits = {});
TProject ReadA2lText(std::string Text, const std::string& FileName,
                     const TReaderLimits& Limits = {});

// The same, with the failure as a result.
TReadResult TryReadA2l(const std::string& Path, const TReaderLimits& Limits = {});
TReadResult TryReadA2lText(std::string Text, const std::string& FileName,
                           const TReaderLimits& Limits = {});

} // namespace qor::a2l
