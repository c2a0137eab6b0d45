#pragma once
// The framework's MessageBox as a modal Qt message box.

#include <string>

namespace qor {

// Shows Text in a modal box titled Caption, with the icon the MB_ICON... flags ask for and
// an OK button; returns IDOK. On a thread other than the main thread it has the main
// thread show the box (through the Synchronize queue) and waits for the answer. Needs a
// QApplication on the main thread.
int ShowQtMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);

} // namespace qor
