#pragma once
// The main form of the demo calibration program, read from its form file.
//
// The form file holds the connection, the data refresher with the live packets, the
// calibration numbers, axes and maps, and the controls. Once read, the form binds them:
// each live packet shows in the label named after it plus "Value"; each numeric edit
// stands for the number whose SerialCode is its DataCode (Enter writes the edit's value
// to the ECU, then the edit shows what the ECU holds); the key combo box chooses the map
// views' EditMode, whose "custom" mode is the program's own rule (Ctrl+Up and Ctrl+B step
// the selected cells by CustomStep); link errors (OnError of every data component, WM_DATA_STATUS)
// show in the status line, and beside them the live engine speed and load with the map
// cell they fall on (as the map views place their live operating point). F2 saves every value to
// the INI file, F3 loads it back into the ECU.
// The form's edit history (EditHistory) watches every number, axis and map: each Enter in a
// value and each INI load is one step; F6 undoes, F7 redoes, F8 writes back every value
// changed since the reference (taken after the first read and after each INI load), and
// ChangesLabel shows how many values differ from it.
// While the session runs the form watches the link: its going down shows in the status
// line (the refresher then delivers nothing), and when it comes back every value is read
// again, so that the screen shows what the ECU holds.

#include "gui/Form.h"

#include <QPointer>
#include <string>
#include <vector>

class QShortcut;
class QTimer;

namespace qor {

class TDataRefresher;
class TKeyComboBox;
class TLabel;
class TNumericEdit;
class TQor3DMap;
class TQorConnection;
class TQorEditHistory;
class TQorNumber;
class TQorPacketData;
class TQorSerialData;

class TDemoForm : public TForm {
public:
    using inherited = TForm;

    // The step of the custom editing rule, in user units.
    static constexpr double CustomStep = 5;

    explicit TDemoForm(TComponent* AOwner);
    // Stops the refresher and lets go of every handler before the components go.
    ~TDemoForm() override;

    // Reads the form file (raising EReadError or EFOpenError) and binds its components.
    void LoadFormFile(const std::string& FileName);
    void LoadFormText(std::string_view Text);

    // Loads the communication library, reads every value into its control and starts the
    // refresher. False, with the reason in the status line, when the library cannot be
    // loaded or a value cannot be read.
    bool StartSession();

    // Every number, axis and map to the INI file (written at once), or every value that
    // the file holds back from it into the ECU. False, with the reason in the status
    // line, when the file cannot be written or read or a value fails.
    bool SaveValues();
    bool LoadValues();
    // Undo and redo of the history's last step, and every changed value back to the
    // reference; false, with the reason in the status line, when nothing was done or a
    // write failed.
    bool UndoEdit();
    bool RedoEdit();
    bool RevertValues();
    TQorEditHistory* History() const { return FHistory; }
    const std::string& IniFileName() const { return FIniFileName; }
    void SetIniFileName(const std::string& Value) { FIniFileName = Value; }

    TQorConnection* Connection() const { return FConnection; }
    TDataRefresher* Refresher() const { return FRefresher; }
    TQor3DMap* IgnitionView() const { return FIgnitionView; }
    TQor3DMap* FuelView() const { return FFuelView; }
    TKeyComboBox* EditModeCombo() const { return FEditModeCombo; }
    TLabel* StatusLabel() const { return FStatusLabel; }
    // The status line's live speed, load and cell.
    TLabel* LiveCellLabel() const { return FLiveCellLabel; }
    // The number an edit stands for, or null.
    TQorNumber* NumberOf(const TNumericEdit& Edit) const;
    // Link errors seen since the session started.
    int ErrorCount() const { return FErrorCount; }
    // How often the session asks whether the link is up.
    static constexpr int LinkWatchInterval = 200; // ms

    // The text of the keys line.
    static std::string KeysText();

protected:
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    struct TLiveValue {
        TQorPacketData* Packet;
        TLabel* Label;
    };
    struct TValueEdit {
        TNumericEdit* Edit;
        TQorNumber* Number;
    };

    void Bind();
    void Unbind();
    void BindShortcuts();
    // Writes the edit's confirmed value, reads it back and shows what the ECU holds.
    void WriteEdit(const TValueEdit& Binding);
    void ShowNumber(const TValueEdit& Binding);
    void ShowLive(const TLiveValue& Live);
    void ApplyEditMode();
    void LinkError(TObject* Sender, int ErrorCode, bool Writing);
    void LinkStatus(TComponent* Source, int Status);
    // The watch's tick: tells a change of the link's state.
    void WatchLink();
    void ShowStatus(const std::string& Text);
    void ShowLiveCell(TQor3DMap& View);
    void ShowChangedCount();
    std::vector<TQorSerialData*> StoredValues() const;

    TQorConnection* FConnection = nullptr;
    TDataRefresher* FRefresher = nullptr;
    TQor3DMap* FIgnitionView = nullptr;
    TQor3DMap* FFuelView = nullptr;
    TKeyComboBox* FEditModeCombo = nullptr;
    TLabel* FStatusLabel = nullptr;
    TLabel* FLiveCellLabel = nullptr;
    TQorEditHistory* FHistory = nullptr;
    TLabel* FChangesLabel = nullptr;
    std::vector<TLiveValue> FLive;
    std::vector<TValueEdit> FEdits;
    std::vector<TQorSerialData*> FData;
    std::vector<QPointer<QShortcut>> FShortcuts;
    QPointer<QTimer> FLinkWatch;
    bool FLinkUp = false;
    std::string FIniFileName = "qorcal-demo.ini";
    int FErrorCount = 0;
    bool FBound = false;
};

// Registers TDemoForm and every class its form file may hold.
void RegisterDemoClasses();

} // namespace qor
