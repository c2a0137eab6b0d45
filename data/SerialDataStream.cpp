// The defined properties of TQorSerialData in form files: "Coeffs" and "ConversionTable".

#include "data/SerialData.h"
#include "framework/Filer.h"

namespace qor {

void TQorSerialData::DefineProperties(TFiler& Filer) {
    inherited::DefineProperties(Filer);
    Filer.DefineProperty(
        "Coeffs",
        [this](TReader& Reader) {
            Reader.ReadListBegin();
            for (double& c : FCoeff)
                c = Reader.ReadFloat();
            Reader.ReadListEnd();
        },
        [this](TWriter& Writer) {
            Writer.WriteListBegin();
            for (double c : FCoeff)
                Writer.WriteFloat(c);
            Writer.WriteListEnd();
        },
        true);
    Filer.DefineProperty(
        "ConversionTable",
        [this](TReader& Reader) {
            FTableLoaded = false;
            FTableEcu.clear();
            FTableUser.clear();
            Reader.ReadListBegin();
            const std::int64_t n = Reader.ReadInteger();
            // Grown item by item: a count larger than the list fails on the missing items
            // instead of allocating for them.
            std::vector<double> ecu, user;
            for (std::int64_t i = 0; i < n; ++i)
                ecu.push_back(Reader.ReadFloat());
            for (std::int64_t i = 0; i < n; ++i)
                user.push_back(Reader.ReadFloat());
            Reader.ReadListEnd();
            if (n <= 0)
                return;
            FTableEcu = std::move(ecu);
            FTableUser = std::move(user);
            FTableLoaded = true;
        },
        [this](TWriter& Writer) {
            Writer.WriteListBegin();
            if (!FTableLoaded) {
                Writer.WriteInteger(0);
            } else {
                Writer.WriteInteger(static_cast<std::int64_t>(FTableEcu.size()));
                for (double e : FTableEcu)
                    Writer.WriteFloat(e);
                for (double u : FTableUser)
                    Writer.WriteFloat(u);
            }
            Writer.WriteListEnd();
        },
        true);
}

} // namespace qor
