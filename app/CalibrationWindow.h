#pragma once
// A calibration window for any form that qorcal-a2l wrote: it reads the form and lays out
// every parameter it holds. Live measurements (packet data) show in labels refreshed by
// the form's data refresher; numbers in numeric edits with their units (Enter writes to
// the ECU, then the edit shows what the ECU holds); numbers with a verbal table in the
// form's key combo boxes (Enter writes the chosen text's value); vectors as a line of
// their values; maps in the form's 3-D map views with their axes. Tab and Shift+Tab, Up
// and Down walk through the edits, combo boxes and maps.

#include "gui/Form.h"

#include <string>
#include <vector>

namespace qor {

class TDataRefresher;
class TKeyComboBox;
class TLabel;
class TNumericEdit;
class TQor3DMap;
class TQorConnection;
class TQorNumber;
class TQorPacketData;
class TQorSerialData;
class TQorVector;
class TWinControl;

class TCalibrationWindow : public TForm {
public:
    using inherited = TForm;

    explicit TCalibrationWindow(TComponent* AOwner);
    ~TCalibrationWindow() override;

    // Reads a generated form (raising EReadError or EFOpenError) and lays it out.
    void LoadFormFile(const std::string& FileName);
    void LoadFormText(std::string_view Text);

    // Loads the communication library, reads every value and starts the refresher. False,
    // with the reason in the status line, when the library cannot be loaded or a value
    // cannot be read.
    bool StartSession();

    struct TValueRow {
        TQorNumber* Number;
        TNumericEdit* Edit;  // or null,
        TKeyComboBox* Combo; // for a verbal table
    };
    struct TLiveRow {
        TQorPacketData* Packet;
        TLabel* Label;
    };
    struct TArrayRow {
        TQorVector* Vector;
        TLabel* Label;
    };
    const std::vector<TValueRow>& Values() const { return FValues; }
    const std::vector<TLiveRow>& Live() const { return FLive; }
    const std::vector<TArrayRow>& Arrays() const { return FArrays; }
    const std::vector<TQor3DMap*>& Maps() const { return FMaps; }
    TLabel* StatusLabel() const { return FStatusLabel; }
    int ErrorCount() const { return FErrorCount; }

    // What a row shows now, as text ("850 rpm", "on", "1.5 1.56 ...").
    static std::string ValueText(const TValueRow& Row);
    static std::string ArrayText(TQorVector& Vector);

protected:
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void Bind();
    void Unbind();
    void Layout();
    void Write(const TValueRow& Row);
    void ShowRow(const TValueRow& Row);
    void ShowLive(const TLiveRow& Row);
    void ShowStatus(const std::string& Text);
    TLabel* AddLabel(const std::string& Caption, int Left, int Top, int Width);

    TQorConnection* FConnection = nullptr;
    TDataRefresher* FRefresher = nullptr;
    TLabel* FStatusLabel = nullptr;
    std::vector<TQorSerialData*> FData;
    std::vector<TValueRow> FValues;
    std::vector<TLiveRow> FLive;
    std::vector<TArrayRow> FArrays;
    std::vector<TQor3DMap*> FMaps;
    int FErrorCount = 0;
    bool FBound = false;
};

// Registers TCalibrationWindow and every class a generated form may hold.
void RegisterCalibrationClasses();

} // namespace qor
