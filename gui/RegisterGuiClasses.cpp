#include "gui/RegisterGuiClasses.h"

#include "framework/Properties.h"
#include "gui/Button.h"
#include "gui/ComboBox.h"
#include "gui/Edit.h"
#include "gui/Font.h"
#include "gui/Form.h"
#include "gui/Image.h"
#include "gui/Label.h"
#include "gui/Panel.h"
#include "gui/RadioButton.h"
#include "gui/Shape.h"

namespace qor {

void RegisterGuiClasses() {
    RegisterClass<TFont>("TFont");
    RegisterClass<TPen>("TPen");
    RegisterClass<TBrush>("TBrush");
    RegisterClass<TWinControl>("TWinControl");
    RegisterClass<TPanel>("TPanel");
    RegisterClass<TForm>("TForm");
    RegisterClass<TEdit>("TEdit");
    RegisterClass<TComboBox>("TComboBox");
    RegisterClass<TLabel>("TLabel");
    RegisterClass<TShape>("TShape");
    RegisterClass<TImage>("TImage");
    RegisterClass<TButton>("TButton");
    RegisterClass<TRadioButton>("TRadioButton");
}

} // namespace qor
