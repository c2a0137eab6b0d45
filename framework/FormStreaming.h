#pragma once
// Components to and from text form files.
//
// Writing puts each component's published properties in declaration order, each only when
// it differs from its stream default, then its defined properties (DefineProperties), then
// the components nested under it. Reading creates each component through the class
// registry with the root as owner, applies its properties in stream order while it is in
// csLoading, resolves component references once every component exists, then calls
// Loaded on every component (the root first). A malformed file raises EReadError with the
// line and column, and every component the read created is destroyed again.

#include "framework/Component.h"
#include "framework/Filer.h"

#include <memory>
#include <string>
#include <string_view>

namespace qor {

std::string WriteComponentText(const TComponent& Root);
void SaveComponentToFile(const TComponent& Root, const std::string& FileName);

// Creates the root through the class registry; the caller owns it.
std::unique_ptr<TComponent> ReadComponentText(std::string_view Text);
std::unique_ptr<TComponent> LoadComponentFromFile(const std::string& FileName);

// Reads into an existing root, whose class must be the text's class or a descendant of it.
void ReadComponentTextInto(TComponent& Root, std::string_view Text);
void LoadComponentFromFileInto(TComponent& Root, const std::string& FileName);

} // namespace qor
