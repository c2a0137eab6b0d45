#include "controls/RegisterControlClasses.h"

#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "framework/Properties.h"
#include "gui/RegisterGuiClasses.h"

namespace qor {

void RegisterControlClasses() {
    RegisterGuiClasses();
    RegisterClass<TNumericEdit>("TNumericEdit");
    RegisterClass<TKeyComboBox>("TKeyComboBox");
}

} // namespace qor
