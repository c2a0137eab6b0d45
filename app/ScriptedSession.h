#pragma once
// The short calibration session that the demo runs without a display, typed with real key
// events into the shown main form: a value typed into a numeric edit, a cell of the
// ignition map raised with Ctrl+Up, a 3 x 3 block grown with Shift and raised by 10 per
// cent in the modification panel, the INI file saved. Then a picture of the whole window
// and a report of what changed in the ECU, each change checked against what the keys
// asked for.

#include <iosfwd>
#include <string>

namespace qor {

class TApplication;
class TDemoForm;

struct TSessionFiles {
    std::string Screenshot; // PNG of the whole main window
    std::string Ini;        // the INI file the session saves
};

// Runs the session on a form that has been read but not shown; reports on Out, failures
// on Err. True when every step did what it should.
bool RunScriptedSession(TApplication& App, TDemoForm& Form, const TSessionFiles& Files,
                        std::ostream& Out, std::ostream& Err);

} // namespace qor
