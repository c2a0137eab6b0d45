#include "gui/ItemStrings.h"

#include "framework/Filer.h"

namespace qor {

void TItemStrings::Changed() {
    TStringList::Changed();
    if (FOnChanged && UpdateCount() == 0)
        FOnChanged();
}

void TItemStrings::DefineProperties(TFiler& Filer) {
    TStringList::DefineProperties(Filer);
    Filer.DefineProperty(
        "Strings",
        [this](TReader& Reader) {
            TStringsUpdate update(*this);
            Clear();
            Reader.ReadListBegin();
            while (!Reader.EndOfList())
                Add(Reader.ReadString());
            Reader.ReadListEnd();
        },
        [this](TWriter& Writer) {
            Writer.WriteListBegin();
            for (int i = 0; i < Count(); ++i)
                Writer.WriteString(Strings(i));
            Writer.WriteListEnd();
        },
        Count() > 0);
}

} // namespace qor
