#pragma once
// The item list of a list control: a string list that tells its control of every change
// and is stored with the form as Items.Strings = ( 'a' 'b' ... ).

#include "framework/StringList.h"

#include <functional>

namespace qor {

class TItemStrings : public TStringList {
public:
    using inherited = TStringList;

    explicit TItemStrings(std::function<void()> OnChanged) : FOnChanged(std::move(OnChanged)) {}

    void DefineProperties(TFiler& Filer) override;

protected:
    void Changed() override;

private:
    std::function<void()> FOnChanged;
};

} // namespace qor
