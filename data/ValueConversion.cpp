// The conversions of TQorSerialData between raw ECU values and user values.

#include "data/SerialData.h"
#include "data/Transformations.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace qor {

namespace {

// Rounds half away from zero (2.5 gives 3, -2.5 gives -3). Results beyond the 32-bit range
// saturate, and NaN gives 0, so that no out-of-range double is cast to int.
int RoundToRaw(double w) {
    const double r = std::round(w);
    if (std::isnan(r))
        return 0;
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<int>(r);
}

// Truncates toward zero (2.7 gives 2, -2.7 gives -2), saturating as RoundToRaw.
int TruncateToRaw(double w) {
    return RoundToRaw(std::trunc(w));
}

// Linear interpolation over the column X into the column Y at v, extrapolating along the
// first or last segment. Needs at least two points and no two equal neighbours in X;
// otherwise there is no value.
std::optional<double> Interpolate(const std::vector<double>& X, const std::vector<double>& Y,
                                  double v) {
    const std::size_t n = X.size();
    if (n < 2 || Y.size() != n)
        return std::nullopt;
    for (std::size_t i = 1; i < n; ++i)
        if (X[i] == X[i - 1])
            return std::nullopt;
    const bool rising = X[n - 1] > X[0];
    std::size_t k = n - 1;
    for (std::size_t i = 1; i < n; ++i) {
        if (rising ? X[i] >= v : X[i] <= v) {
            k = i;
            break;
        }
    }
    return Y[k] - (Y[k] - Y[k - 1]) * (X[k] - v) / (X[k] - X[k - 1]);
}

} // namespace

bool TQorSerialData::FullMask() const {
    return FDataMask == (FDataLength == 2 ? 0xFFFF : 0xFF);
}

bool TQorSerialData::SilentReload() {
    TComponentWatch self(this);
    const bool enabled = FNotifyEnabled;
    FNotifyEnabled = false;
    const bool ok = ReloadFromEcu();
    if (self.Destroyed())
        return false;
    FNotifyEnabled = enabled;
    return ok;
}

void TQorSerialData::GetCoefficients(double& A, double& B, double& C, double& D) {
    double* out[4] = {&A, &B, &C, &D};
    TComponentWatch self(this);
    for (int i = 0; i < 4; ++i) {
        double coeff = FCoeff[i];
        // The setter admits only numbers as sources.
        if (auto* source = static_cast<TQorNumber*>(FExtCoeff[i])) {
            coeff = source->GetUserValue();
            if (self.Destroyed()) // by a handler of the source's read
                return;
            if (TBaseTransformation* t = FTransformations[i]) {
                double transformed = 0.0;
                if (t->Transform(coeff, &transformed) == 0)
                    coeff = transformed;
            }
        }
        *out[i] = coeff;
    }
}

double TQorSerialData::EcuToUser(int EcuValue) {
    return ConvertToUser(EcuValue, std::nullopt);
}

double TQorSerialData::EcuToUserIndex(int EcuValue, int Index) {
    return ConvertToUser(EcuValue, Index);
}

bool TQorSerialData::TakeCoefficients(double& A, double& B, double& C, double& D) {
    if (FTransformation != ttFormula && FTransformation != ttNonLinearTabled)
        return true;
    if (!FExtCoeff[0] && !FExtCoeff[1] && !FExtCoeff[2] && !FExtCoeff[3]) {
        // No source to read: no application code runs, so no watch is needed (a map's
        // save converts every cell through here).
        A = FCoeff[0], B = FCoeff[1], C = FCoeff[2], D = FCoeff[3];
        return true;
    }
    TComponentWatch self(this);
    GetCoefficients(A, B, C, D);
    return !self.Destroyed();
}

double TQorSerialData::ConvertToUser(int EcuValue, std::optional<int> Index) {
    double A = 1, B = 0, C = 0, D = 1;
    // Application code ran (a coefficient source's read): the object may be gone.
    if (!TakeCoefficients(A, B, C, D))
        return ConvErrorNoTable;

    // The field keeps its place in the raw value: masked bits are not shifted down.
    int raw = EcuValue & FDataMask;
    if (FSigned)
        raw = FDataLength == 2 ? static_cast<std::int16_t>(raw) : static_cast<std::int8_t>(raw);

    double v = 0.0;
    switch (FTransformation) {
    case ttNone:
        v = raw;
        break;
    case ttFormula: {
        const double d = C * raw + D;
        if (d == 0)
            return ConvErrorZeroDivisor;
        v = (A * raw + B) / d;
        break;
    }
    case ttTabled: {
        if (!FTableLoaded)
            return ConvErrorNoTable;
        bool found = false;
        for (std::size_t i = 0; i < FTableEcu.size(); ++i) {
            if (FTableEcu[i] == raw) { // the last matching point counts
                v = FTableUser[i];
                found = true;
            }
        }
        if (!found)
            return ConvErrorNoTable;
        break;
    }
    case ttNonLinearTabled: {
        if (!FTableLoaded)
            return ConvErrorNoTable;
        const double d = C * raw + D;
        if (d == 0)
            return ConvErrorZeroDivisor;
        const std::optional<double> y = Interpolate(FTableEcu, FTableUser, (A * raw + B) / d);
        if (!y)
            return ConvErrorNoTable;
        v = *y;
        break;
    }
    case ttCustom: {
        TComponentWatch self(this);
        v = Index ? DoConvertToUserIndex(raw, *Index) : DoConvertToUser(raw);
        if (self.Destroyed())
            return v;
        break;
    }
    }

    if (FPrecision == 0)
        return v;
    // Snap to the nearer multiple of Precision; exactly halfway goes up.
    const double q = v / FPrecision;
    const double up = std::ceil(q) * FPrecision;
    const double down = std::floor(q) * FPrecision;
    return (v - down) < (up - v) ? down : up;
}

int TQorSerialData::UserToEcu(double UserValue, int* Current) {
    return ConvertToEcu(UserValue, std::nullopt, Current).Raw;
}

int TQorSerialData::UserToEcuIndex(double UserValue, int Index, int* Current) {
    return ConvertToEcu(UserValue, Index, Current).Raw;
}

TQorSerialData::TToEcuResult TQorSerialData::ConvertToEcu(double UserValue,
                                                          std::optional<int> Index, int* Current) {
    TComponentWatch self(this);
    const TToEcuResult converted = ConvertUnmerged(UserValue, Index, Current ? *Current : 0);
    if (self.Destroyed())
        return {converted.Raw, TToEcuOutcome::ReadBackFailed};
    if (converted.Outcome != TToEcuOutcome::Converted || !Current || FullMask())
        return converted;
    // Only some bits belong to this datum: take the others from the ECU as they are now.
    const int r = converted.Raw;
    const bool reread = SilentReload();
    if (self.Destroyed()) // a handler of the re-read destroyed this object
        return {r, TToEcuOutcome::ReadBackFailed};
    if (reread)
        return {(*Current & ~FDataMask) | (r & FDataMask), TToEcuOutcome::Converted};
    return {r & FDataMask, TToEcuOutcome::ReadBackFailed};
}

TQorSerialData::TToEcuResult
TQorSerialData::ConvertUnmerged(double UserValue, std::optional<int> Index, int Current) {
    double A = 1, B = 0, C = 0, D = 1;
    // Application code ran (a coefficient source's read): the object may be gone. The
    // caller, holding a watch of its own, stops.
    if (!TakeCoefficients(A, B, C, D))
        return {ConvErrorNoTable, TToEcuOutcome::NoValue};

    double x = UserValue;
    if (!FDisableLimits && (FValueMin != 0 || FValueMax != 0)) {
        if (x > FValueMax)
            x = FValueMax;
        else if (x < FValueMin)
            x = FValueMin;
    }

    const auto noValue = [](int error) { return TToEcuResult{error, TToEcuOutcome::NoValue}; };
    int r = 0;
    switch (FTransformation) {
    case ttNone:
        r = TruncateToRaw(x);
        break;
    case ttFormula: {
        const double d = C * x - A;
        if (d == 0)
            return noValue(ConvErrorZeroDivisor);
        r = RoundToRaw((B - D * x) / d);
        break;
    }
    case ttTabled: {
        if (!FTableLoaded)
            return noValue(ConvErrorNoTable);
        std::size_t i = 0;
        while (i < FTableUser.size() && FTableUser[i] != x) // the first matching point counts
            ++i;
        if (i == FTableUser.size())
            return noValue(ConvErrorNoTable);
        r = RoundToRaw(FTableEcu[i]);
        break;
    }
    case ttNonLinearTabled: {
        if (!FTableLoaded)
            return noValue(ConvErrorNoTable);
        const std::optional<double> y = Interpolate(FTableUser, FTableEcu, x);
        if (!y)
            return noValue(ConvErrorNoTable);
        const double d = C * *y - A;
        if (d == 0)
            return noValue(ConvErrorZeroDivisor);
        r = RoundToRaw((B - D * *y) / d);
        break;
    }
    case ttCustom:
        r = Index ? DoConvertToEcuIndex(x, *Index, Current) : DoConvertToEcu(x);
        break;
    }
    return {r, TToEcuOutcome::Converted};
}

void TQorSerialData::DoConversionError(int ErrorResult) {
    TComponentWatch self(this);
    if (FOnError)
        FOnError(this, ErrorResult, true);
    if (!self.Destroyed())
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
}

} // namespace qor
