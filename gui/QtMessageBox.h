#pragma once
// The framework's MessageBox as a modal Qt message box.

#include <string>

namespace qor {

// Shows Text in a modal box titled Caption, with the icon the MB_ICON... flags ask for and
// an OK button; returns IDOK. On a thread other than the GUI thread it has the GUI thread
// show the box and waits for the answer. Needs a running QApplication.
int ShowQtMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);

} // namespace qor
