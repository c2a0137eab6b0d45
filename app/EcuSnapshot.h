#pragma once
// Raw values of the ECU's numbers and maps at one moment, read back for the report of the
// scripted session: through the simulator's control API when the connection's library
// is the simulator, otherwise over the link with data components of their own (whose
// caches start empty), so that nothing the form's components hold is taken on trust.

#include <string>
#include <vector>

namespace qor {

class TDemoForm;

struct TEcuValue {
    std::string Item; // the data component's name
    int Row = -1;     // zero-based, -1 for a single value
    int Col = -1;
    int Raw = 0;
    std::string Unit;
};

struct TEcuSnapshot {
    std::vector<TEcuValue> Values;
    // Where the values came from: "simulator" or "link".
    std::string Source;
};

// Every number and every map cell of the form, read back from the ECU. Values that
// cannot be read are left out.
TEcuSnapshot TakeEcuSnapshot(TDemoForm& Form);

struct TEcuChange {
    TEcuValue Before;
    int After = 0;
};

// The values that differ between two snapshots of the same form.
std::vector<TEcuChange> Changes(const TEcuSnapshot& Before, const TEcuSnapshot& After);

} // namespace qor
