#pragma once
// The text form format: a tree of objects with their properties, parsed from and rendered
// to text. Knows nothing of components; FormStreaming.h maps the tree onto them.
//
//   object Name: TClass            (also "inherited" and "inline"; the name may be left out)
//     Prop = value                 (Prop may be dotted: Font.Style)
//     object Child: TOther
//     end
//   end
//
// Values: integers (12, -3, $1F), floats (1.5, -2.0E-3, whatever the locale), strings of
// '...' pieces ('' is a quote) and #13 character codes joined by + across lines,
// True/False/nil (any case), identifiers (enumeration values, dotted component names),
// sets [a, b], lists ( v v v ), binary {0A0B} and collections < item ... end >.

#include "framework/Filer.h"
#include "framework/Properties.h"

#include <string>
#include <string_view>
#include <vector>

namespace qor {

struct TFormProperty {
    std::string Name;
    TValue Value;
    int Line = 0;
    int Column = 0;
};

struct TFormNode {
    std::string Kind = "object"; // object, inherited or inline
    std::string Name;
    std::string ClassName;
    std::vector<TFormProperty> Properties;
    std::vector<TFormNode> Children;
    int Line = 0;
    int Column = 0;
};

// Parses one top-level object. Raises EReadError with the line and column of the fault.
TFormNode ParseFormText(std::string_view Text);

// Renders the tree as text that ParseFormText reads back to an equal tree.
std::string RenderFormText(const TFormNode& Root);

// One value as the form format writes it.
std::string FormValueText(const TValue& Value);

// A float as the form format writes it: always readable back as the same float.
std::string FormFloatText(double Value);

} // namespace qor
