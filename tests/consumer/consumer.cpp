// An outside calibration program on the installed package: loads a form with a
// connection, a number and a map, reads them from the simulator, writes the number and
// reads it back through a second copy of the form. Exits non-zero on any mismatch.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <qorcal/data/SerialData.h>
#include <qorcal/framework/FormStreaming.h>
#include <qorcal/link/QorConnection.h>
#include <sstream>
#include <string>

namespace {

int gFailures = 0;

void Check(bool Condition, const std::string& What) {
    std::cout << (Condition ? "ok:   " : "FAIL: ") << What << "\n";
    if (!Condition)
        ++gFailures;
}

std::string ReadFile(const char* Path) {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <class T> T& Find(qor::TComponent& Root, const std::string& Name) {
    auto* found = dynamic_cast<T*>(Root.FindComponent(Name));
    if (!found) {
        std::cerr << "the form has no " << Name << "\n";
        std::exit(1);
    }
    return *found;
}

} // namespace

int main() {
    qor::RegisterLinkClasses();
    qor::RegisterDataClasses();
    const std::string form = ReadFile(QOR_CONSUMER_FORM);
    const auto first = qor::ReadComponentText(form);

    double idle = 0;
    Check(Find<qor::TQorNumber>(*first, "IdleSpeed").TryReadUserValue(idle) && idle == 850,
          "IdleSpeed reads 850 rpm");
    Check(Find<qor::TQorConnection>(*first, "Connection").DllLoaded(),
          "the connection loaded the simulator library");

    // The simulator's fuel map holds 1500 + 420 * row + 60 * column.
    auto& fuel = Find<qor::TQorMatrix>(*first, "FuelMap");
    int wrong = 0;
    for (int r = 0; r < fuel.RowCount(); ++r)
        for (int c = 0; c < fuel.ColCount(); ++c) {
            double cell = 0;
            if (!fuel.GetCellValue(r, c, cell) || cell != 1500 + 420 * r + 60 * c)
                ++wrong;
        }
    Check(fuel.RowCount() == 16 && fuel.ColCount() == 16 && wrong == 0,
          "FuelMap reads its 16 x 16 cells");

    Check(Find<qor::TQorNumber>(*first, "IdleSpeed").SetUserValue(910), "IdleSpeed set to 910");
    const auto second = qor::ReadComponentText(form);
    double readBack = 0;
    Check(Find<qor::TQorNumber>(*second, "IdleSpeed").TryReadUserValue(readBack) && readBack == 910,
          "a second copy of the form reads 910 back from the simulator");
    return gFailures == 0 ? 0 : 1;
}
