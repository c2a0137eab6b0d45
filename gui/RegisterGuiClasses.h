#pragma once
// Registers every visual class with its published properties, so that forms holding them
// can be read from form files. Safe to call more than once.

namespace qor {

void RegisterGuiClasses();

} // namespace qor
