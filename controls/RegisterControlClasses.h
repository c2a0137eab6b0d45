#pragma once
// Registers the edit control classes for form files, so that a form holding a
// TNumericEdit or a TKeyComboBox can be read. Needs the visual classes registered first
// (the application object does that); registering again does nothing.

namespace qor {

void RegisterControlClasses();

} // namespace qor
