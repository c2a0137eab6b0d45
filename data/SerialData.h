#pragma once
// The abstract base of every calibration data component: raw value layout (length, mask,
// sign, serial code, packed into the DataDescriptor), limits and precision, references to
// the connection, to external coefficient sources and to transformations, the events
// fired around each ECU transfer, and the clients that hear of changes.

#include "data/DataMessages.h"
#include "framework/Component.h"
#include "framework/NotifyEvent.h"
#include "link/RefreshTarget.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qor {

template <class C> class TPublisher;
class TBaseTransformation;
class TControl;
class TQorEditHistory;
class TCustomIniFile;
class TQorConnection;
class TSerInterface;

// How raw values convert to user values.
enum TransformationType { ttNone, ttFormula, ttTabled, ttNonLinearTabled, ttCustom };

// Results of a conversion that has no value, outside the range of 8- and 16-bit raw data:
// the formula's divisor is 0, or a table kind has no usable table or no matching point.
// The user-side conversions return them as doubles.
constexpr int ConvErrorZeroDivisor = -10000002;
constexpr int ConvErrorNoTable = -10000001;

using TConversionToEcuEvent =
    std::function<void(TObject* Sender, double UserValue, int& ConvertedValue)>;
using TConversionToEcuEventIndex =
    std::function<void(TObject* Sender, double UserValue, int& ConvertedValue, int Index)>;
using TConversionToUserEvent =
    std::function<void(TObject* Sender, int EcuValue, double& ConvertedValue)>;
using TConversionToUserEventIndex =
    std::function<void(TObject* Sender, int EcuValue, double& ConvertedValue, int Index)>;
using TBeforeSetDataInEcuEvent = std::function<void(
    TObject* Sender, double* newValue, double prevValue, int RowIndex, int ColIndex, bool& Abort)>;
using TErrorEvent = std::function<void(TObject* Sender, int ErrorCode, bool Writing)>;

class TQorSerialData : public TComponent, public TRefreshTarget {
public:
    using inherited = TComponent;

    explicit TQorSerialData(TComponent* AOwner);
    // Cancels the references it holds and leaves the clients of its coefficient sources.
    ~TQorSerialData() override;

    // Published in this order (see Publish); CoeffA .. CoeffD are streamed apart.
    static void Publish(TPublisher<TQorSerialData>& P);

    // Virtual operations, in their slot order.
    virtual void AllocateValues() = 0;
    virtual void FreeValues() = 0;
    virtual bool ReadFromEcu() = 0;
    // Fires OnError with the link's status word (-1 without a loaded library).
    virtual void DoError(bool Writing);
    // Fire OnGetData / OnSetData, then send WM_DATA_CHANGED to the clients.
    virtual void DoGetData();
    virtual void DoSetData();
    virtual void DoBeforeGetData();
    // Fires BeforeSetData, which may change *newValue; true when the write may go on.
    virtual bool DoBeforeSetData(double* newValue, double prevValue, int RowIndex, int ColIndex);
    // Sends WM_DATA_STATUS with the status word to the clients.
    virtual void DoStatus(int Status);
    // ttCustom conversions through the conversion events; an unassigned event yields 0,
    // 0.0 or (for DoConvertToEcuIndex) the current raw value handed in.
    virtual int DoConvertToEcu(double UserValue);
    virtual int DoConvertToEcuIndex(double UserValue, int Index, int Current);
    virtual double DoConvertToUser(int EcuValue);
    virtual double DoConvertToUserIndex(int EcuValue, int Index);
    virtual void SaveValues() = 0;
    virtual void DropSavedValues() = 0;
    virtual void RestoreValues() = 0;
    // Clears DataValid, then reads.
    virtual bool ReloadFromEcu();
    virtual bool WriteToEcu() = 0;
    // SaveToIni / LoadFromIni under Section instead of FileSection, which is set for the
    // call and restored afterwards, also when an exception passes; the inner result.
    virtual bool SaveToIniSection(TCustomIniFile& Ini, const std::string& Section);
    virtual bool LoadFromIniSection(TCustomIniFile& Ini, const std::string& Section);
    // The value(s) under FileSection, keys built from FileKeyName (and the indexes), as
    // "%g" user values (StoreUserValue) or raw decimal integers. Both names empty: true,
    // nothing done; one of them empty: false. Loading writes to the ECU with all checks
    // and events, or with OldReadFileMode only stores the value(s).
    virtual bool SaveToIni(TCustomIniFile& Ini) = 0;
    virtual bool LoadFromIni(TCustomIniFile& Ini) = 0;
    void DecodePacket(const std::uint8_t* Data) override = 0;
    virtual bool ApplyDefaults(bool WriteToEcu) = 0;
    // Command entries (IniPersistence.h): one string under FileSection / FileKeyName.
    // Loading reads and deletes the entry, then writes its value(s) to the ECU; a value
    // field that is not hexadecimal raises EConvertError (the entry is gone already).
    virtual bool LoadCommandEntry(TCustomIniFile& Ini) = 0;
    virtual bool SaveCommandEntry(TCustomIniFile& Ini) = 0;
    // Field Index of the stored entry (HexTokenAt); the entry stays. False when both
    // names are empty or there is no entry.
    virtual bool ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) = 0;

    // Published properties. Setters ignore values outside the allowed range.
    int DataLength() const { return FDataLength; }
    void SetDataLength(int Value); // 1 or 2
    int DataMask() const { return FDataMask; }
    void SetDataMask(int Value); // one contiguous run of bits (or 0) within the width
    int SerialCode() const { return FSerialCode; }
    void SetSerialCode(int Value); // not negative; the low 8 bits are kept
    bool Signed() const { return FSigned; }
    void SetSigned(bool Value);
    TransformationType Transformation() const { return FTransformation; }
    void SetTransformation(TransformationType Value);
    const std::string& MeasureUnit() const { return FMeasureUnit; }
    void SetMeasureUnit(const std::string& Value) { FMeasureUnit = Value; }
    double CoeffA() const { return FCoeff[0]; }
    double CoeffB() const { return FCoeff[1]; }
    double CoeffC() const { return FCoeff[2]; }
    double CoeffD() const { return FCoeff[3]; }
    void SetCoeffA(double Value) { FCoeff[0] = Value; }
    void SetCoeffB(double Value) { FCoeff[1] = Value; }
    void SetCoeffC(double Value) { FCoeff[2] = Value; }
    void SetCoeffD(double Value) { FCoeff[3] = Value; }
    double Precision() const { return FPrecision; }
    void SetPrecision(double Value); // not negative, not NaN
    double ValueMin() const { return FValueMin; }
    void SetValueMin(double Value); // not above ValueMax, except while loading
    double ValueMax() const { return FValueMax; }
    void SetValueMax(double Value); // not below ValueMin, except while loading
    bool DisableLimits() const { return FDisableLimits; }
    void SetDisableLimits(bool Value) { FDisableLimits = Value; }
    int DataGroup() const { return FDataGroup; }
    void SetDataGroup(int Value) { FDataGroup = Value; }
    bool OldReadFileMode() const { return FOldReadFileMode; }
    void SetOldReadFileMode(bool Value) { FOldReadFileMode = Value; }

    // External coefficient sources, Index 0 .. 3 for A .. D. A source must be a
    // TQorNumber other than this object, and must not take a coefficient from this object
    // (directly or through other numbers); anything else is ignored.
    TQorSerialData* ExtCoeff(int Index) const { return FExtCoeff[Index]; }
    void SetExtCoeff(int Index, TQorSerialData* Value);
    TQorSerialData* ExtCoeffA() const { return FExtCoeff[0]; }
    TQorSerialData* ExtCoeffB() const { return FExtCoeff[1]; }
    TQorSerialData* ExtCoeffC() const { return FExtCoeff[2]; }
    TQorSerialData* ExtCoeffD() const { return FExtCoeff[3]; }
    void SetExtCoeffA(TQorSerialData* Value) { SetExtCoeff(0, Value); }
    void SetExtCoeffB(TQorSerialData* Value) { SetExtCoeff(1, Value); }
    void SetExtCoeffC(TQorSerialData* Value) { SetExtCoeff(2, Value); }
    void SetExtCoeffD(TQorSerialData* Value) { SetExtCoeff(3, Value); }

    // Transformations of the external coefficients, Index 0 .. 3 for A .. D. Setting one
    // re-reads the value (not while the form is being loaded).
    TBaseTransformation* TransformationOf(int Index) const { return FTransformations[Index]; }
    void SetTransformationOf(int Index, TBaseTransformation* Value);
    TBaseTransformation* TransformationA() const { return FTransformations[0]; }
    TBaseTransformation* TransformationB() const { return FTransformations[1]; }
    TBaseTransformation* TransformationC() const { return FTransformations[2]; }
    TBaseTransformation* TransformationD() const { return FTransformations[3]; }
    void SetTransformationA(TBaseTransformation* Value) { SetTransformationOf(0, Value); }
    void SetTransformationB(TBaseTransformation* Value) { SetTransformationOf(1, Value); }
    void SetTransformationC(TBaseTransformation* Value) { SetTransformationOf(2, Value); }
    void SetTransformationD(TBaseTransformation* Value) { SetTransformationOf(3, Value); }

    void SetOnConvertToEcu(TConversionToEcuEvent Handler) { FOnConvertToEcu = std::move(Handler); }
    void SetOnConvertToEcuIndex(TConversionToEcuEventIndex Handler) {
        FOnConvertToEcuIndex = std::move(Handler);
    }
    void SetOnConvertToUser(TConversionToUserEvent Handler) {
        FOnConvertToUser = std::move(Handler);
    }
    void SetOnConvertToUserIndex(TConversionToUserEventIndex Handler) {
        FOnConvertToUserIndex = std::move(Handler);
    }

    const std::string& FileSection() const { return FFileSection; }
    void SetFileSection(const std::string& Value) { FFileSection = Value; }
    const std::string& FileKeyName() const { return FFileKeyName; }
    void SetFileKeyName(const std::string& Value) { FFileKeyName = Value; }
    bool StoreUserValue() const { return FStoreUserValue; }
    void SetStoreUserValue(bool Value) { FStoreUserValue = Value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }

    // Members the descendants publish.
    TQorConnection* Connection() const { return FConnection; }
    void SetConnection(TQorConnection* Value);
    void SetOnSetData(TNotifyEvent Handler) { FOnSetData = std::move(Handler); }
    void SetOnGetData(TNotifyEvent Handler) { FOnGetData = std::move(Handler); }
    void SetBeforeSetData(TBeforeSetDataInEcuEvent Handler) { FBeforeSetData = std::move(Handler); }
    void SetBeforeGetData(TNotifyEvent Handler) { FBeforeGetData = std::move(Handler); }
    void SetOnError(TErrorEvent Handler) { FOnError = std::move(Handler); }
    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    int RowIndex() const { return FRowIndex; }
    int ColIndex() const { return FColIndex; }

    // State.
    std::uint32_t DataDescriptor() const { return FDataDescriptor; }
    bool DataValid() const { return FDataValid; }
    bool NotifyEnabled() const { return FNotifyEnabled; }
    void SetNotifyEnabled(bool Value) { FNotifyEnabled = Value; }
    bool ValuesAllocated() const { return FValuesAllocated; }
    bool TableLoaded() const { return FTableLoaded; }
    int TableSize() const { return static_cast<int>(FTableEcu.size()); }
    const std::vector<double>& TableEcu() const { return FTableEcu; }
    const std::vector<double>& TableUser() const { return FTableUser; }

    // Clients: controls get each message through Perform; data objects pass it on to
    // their own clients. A data client that would pass messages back here is refused.
    const std::vector<TComponent*>& Clients() const { return FClients; }
    void AddClient(TComponent* Client);
    void RemoveClient(TComponent* Client);
    void NotifyClients(unsigned Message, WPARAM WParam, LPARAM LParam);

    // While this object's WM_DATA_CHANGED for a write of one cell is being delivered (and
    // not during a message sent from inside that delivery): the cell, row and column. A
    // client that keeps a copy of the values compares that cell alone; otherwise null, and
    // any value may have changed.
    struct TChangedCell {
        int Row = 0, Col = 0;
    };
    const TChangedCell* ChangedCell() const {
        return FCellHintDepth != 0 && FCellHintDepth == FNotifyDepth ? &FCellHint : nullptr;
    }
    // True while the WM_DATA_CHANGED of a read or a decoded packet is being delivered (and
    // not during a message sent from inside that delivery): the values came from the ECU,
    // no edit made them.
    bool ReadDelivery() const { return FReadDepth != 0 && FReadDepth == FNotifyDepth; }

    // Conversions between raw ECU values and user values, with the object's mask, sign,
    // Transformation, coefficients, table, precision and limits. The Index forms differ
    // only for ttCustom, which goes to the indexed conversion events.
    //
    // EcuToUser: masks and sign-extends the raw value, converts, snaps to Precision.
    // UserToEcu: clamps to the limits, converts and rounds half away from zero (ttNone
    // truncates; results beyond 32 bits saturate, NaN gives 0). When Current is given and
    // DataMask does not cover the full width, the object re-reads the ECU silently (Current
    // must point into the storage that read refreshes) and merges the converted bits into
    // the bits around the field; when that read fails the bits outside the mask are 0. A
    // conversion without a value returns ConvErrorZeroDivisor or ConvErrorNoTable (as a
    // double for EcuToUser), unsnapped and unmerged.
    double EcuToUser(int EcuValue);
    double EcuToUserIndex(int EcuValue, int Index);
    int UserToEcu(double UserValue, int* Current);
    int UserToEcuIndex(double UserValue, int Index, int* Current);
    // The effective formula coefficients: CoeffX, or the user value of ExtCoeffX passed
    // through TransformationX when that is set and its Transform returns 0.
    void GetCoefficients(double& A, double& B, double& C, double& D);

    // Streams "Coeffs" (CoeffA .. CoeffD) and "ConversionTable" (n, n ECU values, n user
    // values; 0 without a table). The table is kept exactly as streamed.
    void DefineProperties(TFiler& Filer) override;

    // Converts the default value(s) to raw without writing, once the form is read.
    void Loaded() override;

protected:
    // How a user-to-raw conversion for a write went.
    enum class TToEcuOutcome {
        Converted,     // Raw is the value to write
        NoValue,       // Raw is ConvErrorZeroDivisor or ConvErrorNoTable: write nothing
        ReadBackFailed // the mask merge could not read the bits around the field
    };
    struct TToEcuResult {
        int Raw;
        TToEcuOutcome Outcome;
    };
    // EcuToUser (Index empty) or EcuToUserIndex.
    double ConvertToUser(int EcuValue, std::optional<int> Index);
    // UserToEcu (Index empty) or UserToEcuIndex, telling the writers what happened.
    TToEcuResult ConvertToEcu(double UserValue, std::optional<int> Index, int* Current);
    // The conversion alone, without the mask merge: for writers that merge many values
    // after one re-read. Current is the raw value the indexed custom event starts from.
    TToEcuResult ConvertUnmerged(double UserValue, std::optional<int> Index, int Current);
    // A write refused because its conversion has no value: fires OnError with the error
    // result as ErrorCode and Writing true, then sends WM_DATA_CHANGED so that views show
    // the value still held.
    void DoConversionError(int ErrorResult);
    // True when DataMask covers every bit of DataLength bytes.
    bool FullMask() const;
    // Re-reads with the clients' messages held back (used by the mask merge); restores
    // NotifyEnabled afterwards whatever the outcome.
    bool SilentReload();

    // The part of every read that follows a successful LoadDll: BeforeGetData; the transfer
    // under LinkLock unless the link is down (the held values then stand in); the status
    // word; exactly one of OnGetData or OnError; WM_DATA_STATUS for a nonzero status, whose
    // bit 4 keeps the data usable. Sets and returns DataValid.
    bool ReadThroughLink(TQorConnection& Link, const std::function<bool(TSerInterface&)>& Transfer);
    // The block write of vectors and maps: without a library Keep stores the new values,
    // DataValid clears and OnError(true) fires, and the result is true; otherwise
    // BeforeSetData may abort, Transfer runs under LinkLock, and on success Keep stores the
    // values and OnSetData fires, on failure OnError(true). Sets DataValid to the outcome.
    bool WriteBlock(const std::function<bool(TSerInterface&)>& Transfer,
                    const std::function<void()>& Keep);

    // Connection when it is still Expected with its library loaded (an event handler may
    // have cleared or destroyed it meanwhile), otherwise null.
    TQorConnection* LinkStillThere(const TQorConnection* Expected) const;

    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Called after a setter changed the DataDescriptor (SerialCode, DataLength or Signed),
    // with the word it had before; a descendant registered under it follows the change.
    virtual void DescriptorChanged(std::uint32_t OldDescriptor);

    // True when this object takes a coefficient from Source, directly or through others.
    bool DependsOn(const TQorSerialData* Source) const;

    std::uint32_t FDataDescriptor = 0;
    bool FDataValid = false;
    bool FValuesAllocated = false;
    int FColCount = 1;
    int FRowCount = 1;
    int FRowIndex = -1;
    int FColIndex = -1;
    bool FTableLoaded = false;
    std::vector<double> FTableEcu;
    std::vector<double> FTableUser;

    TNotifyEvent FOnSetData;
    TNotifyEvent FOnGetData;
    TBeforeSetDataInEcuEvent FBeforeSetData;
    TNotifyEvent FBeforeGetData;
    TErrorEvent FOnError;
    TConversionToEcuEvent FOnConvertToEcu;
    TConversionToEcuEventIndex FOnConvertToEcuIndex;
    TConversionToUserEvent FOnConvertToUser;
    TConversionToUserEventIndex FOnConvertToUserIndex;

    // WM_DATA_CHANGED to the clients, with ChangedCell naming the cell for this delivery.
    void NotifyCellChanged(int Row, int Col);
    // The next DoSetData tells its clients that only this cell changed.
    void SetPendingCell(int Row, int Col) { FPendingCell = TChangedCell{Row, Col}; }

private:
    // The coefficients that the transformation uses (GetCoefficients for a formula or a
    // non-linear table, nothing otherwise); false when reading a source destroyed this
    // object.
    bool TakeCoefficients(double& A, double& B, double& C, double& D);
    // Cancels the free notification with a component no longer referred to at all.
    void Forget(TComponent* Old);
    bool RefersTo(const TComponent* C) const;
    // True when Client passes messages on (through its own clients) back to this object.
    bool RelaysTo(const TQorSerialData* Client, const TQorSerialData* Target) const;
    // Where NotifyClients goes on after Client's message changed the list.
    std::size_t NextClientAfter(const TComponent* Client, std::size_t Was) const;

    int FDataLength = 1;
    int FDataMask = 255;
    int FSerialCode = 0;
    bool FSigned = false;
    TransformationType FTransformation = ttNone;
    std::string FMeasureUnit;
    double FCoeff[4] = {1.0, 0.0, 0.0, 1.0};
    double FPrecision = 0.0;
    double FValueMin = 0.0;
    double FValueMax = 0.0;
    bool FDisableLimits = false;
    int FDataGroup = 0;
    bool FOldReadFileMode = false;
    TQorSerialData* FExtCoeff[4] = {};
    TBaseTransformation* FTransformations[4] = {};
    std::string FFileSection;
    std::string FFileKeyName;
    bool FStoreUserValue = true;
    bool FReadOnly = false;
    TQorConnection* FConnection = nullptr;
    bool FNotifyEnabled = true;
    std::vector<TComponent*> FClients;
    // How each client of FClients (at the same place) takes a message, found once when it
    // joins: a control through Perform, a data object by passing it on, others not at all;
    // an edit history takes WM_DATA_CHANGED directly, as it hears of every edit.
    struct TClientPath {
        TControl* Control = nullptr;
        TQorSerialData* Data = nullptr;
        TQorEditHistory* History = nullptr;
    };
    std::vector<TClientPath> FClientPaths;
    int FNotifyDepth = 0;   // NotifyClients calls running
    int FCellHintDepth = 0; // the depth at which FCellHint holds, 0 for none
    TChangedCell FCellHint;
    int FReadDepth = 0; // the depth at which a read's message is delivered, 0 for none
    std::optional<TChangedCell> FPendingCell;
};

// Registers the data layer's streamable classes.
void RegisterDataClasses();

} // namespace qor

// The data classes built on the base.
#include "data/Matrix.h"
#include "data/Number.h"
#include "data/PacketData.h"
#include "data/Vector.h"
