#include "gui/RegisterGuiClasses.h"

#include "framework/Properties.h"
#include "gui/Edit.h"
#include "gui/Form.h"
#include "gui/Panel.h"

namespace qor {

void RegisterGuiClasses() {
    RegisterClass<TWinControl>("TWinControl");
    RegisterClass<TPanel>("TPanel");
    RegisterClass<TForm>("TForm");
    RegisterClass<TEdit>("TEdit");
}

} // namespace qor
