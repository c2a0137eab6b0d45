#pragma once
// TQor3DMap: a panel that shows one calibration map as a shaded 3-D surface with a ball on
// every cell, grid lines on the cell borders and a cone over every selected cell.
//
// The view binds the data components (the map, two reference axes, two position packets)
// to the drawing core in MapScene/MapRenderer and holds no drawing code of its own. Its
// rendering context comes from a context provider, created when the view's window is
// created (WM_CREATE, sent when its widget is first shown); the picture a frame presents
// is painted into the panel. Without a context the view keeps working as a panel.
//
// The view is also the map's keyboard editor (keys in the README's key table): letters move
// and turn the camera, arrows move or grow the cell selection, Ctrl with Up and Down raises
// or lowers the selected cells, and Enter opens ModPanel, which sets, offsets or scales the
// selected cells. Every value change goes to Data through SetCellValue; the view redraws the
// new values when the map notifies it.

#include "data/EditHistory.h"
#include "data/SerialData.h"
#include "gui/Graphics.h"
#include "gui/Keys.h"
#include "gui/Panel.h"
#include "map3d/GLContextProvider.h"
#include "map3d/MapModPanel.h"
#include "map3d/MapRenderer.h"
#include "map3d/MapScene.h"
#include "map3d/OperatingPoint.h"
#include "map3d/WindowWatcher.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace qor {

enum TSphereColor { scDynamic, scFixed };
enum TEditMode { emSingle, emMultiple, emCustom };

// A rectangle of cells: columns Left ... Right, rows Top ... Bottom, 1-based, inclusive.
struct TRect {
    int Left = 1, Top = 1, Right = 1, Bottom = 1;
    bool operator==(const TRect&) const = default;
};

using TCustumEditEvent = std::function<void(TObject* Sender, TQorMatrix* Matrix, TRect Selection)>;

// The key code that, with Ctrl, raises OnCustumUnrise. No key of a PC keyboard has it: the
// view takes Ctrl+B (the key whose control character is code 2) as this code.
constexpr Word VK_CUSTUM_UNRISE = 2;
constexpr Word VK_CUSTUM_UNRISE_KEY = 'B';

class TMapKeyClaim;

class TQor3DMap : public TPanel {
public:
    using inherited = TPanel;

    explicit TQor3DMap(TComponent* AOwner);
    // Unregisters from every referenced component and deletes the context.
    ~TQor3DMap() override;

    // Published after the panel's, in this order: Data, RowRef, ColRef,
    // HorizontalPosition, VerticalPosition, BackGroundColor, SphereColorMode, EditMode,
    // SphereRadius, EnableDrawSphere, EnableDrawLine, EnableDrawTriangles, EnableModPanel,
    // DefaultDistance, SphereColor; then ShowOperatingPoint, TrailLength,
    // OperatingPointColor, History, ShowChanges.
    static void Publish(TPublisher<TQor3DMap>& P);

    // The map shown. Setting it unregisters from the old one, registers with the new one,
    // takes a snapshot of its dimensions and rebuilds the samples, without a redraw. Null
    // keeps the samples and the snapshot.
    TQorMatrix* Data() const { return FData; }
    void SetData(TQorMatrix* Value);
    // Reference axes for the row and column spacing (no redraw when set).
    TQorVector* RowRef() const { return FRowRef; }
    void SetRowRef(TQorVector* Value);
    TQorVector* ColRef() const { return FColRef; }
    void SetColRef(TQorVector* Value);
    // Registered with, read by nobody else in the view.
    TQorPacketData* HorizontalPosition() const { return FHorizontalPosition; }
    void SetHorizontalPosition(TQorPacketData* Value);
    TQorPacketData* VerticalPosition() const { return FVerticalPosition; }
    void SetVerticalPosition(TQorPacketData* Value);

    // Clear colour; setting it re-runs the GL state set-up (no redraw).
    TColor BackGroundColor() const { return FBackGroundColor; }
    void SetBackGroundColor(TColor Value);
    // Balls coloured by height (scDynamic) or in SphereColor (scFixed); redraws.
    TSphereColor SphereColorMode() const { return FSphereColorMode; }
    void SetSphereColorMode(TSphereColor Value);
    TEditMode EditMode() const { return FEditMode; }
    void SetEditMode(TEditMode Value) { FEditMode = Value; }
    // Ball radius, clamped to 0.05 ... 0.25; redraws.
    float SphereRadius() const { return FSphereRadius; }
    void SetSphereRadius(float Value);
    bool EnableDrawSphere() const { return FEnableDrawSphere; }
    void SetEnableDrawSphere(bool Value) { FEnableDrawSphere = Value; }
    bool EnableDrawLine() const { return FEnableDrawLine; }
    void SetEnableDrawLine(bool Value) { FEnableDrawLine = Value; }
    bool EnableDrawTriangles() const { return FEnableDrawTriangles; }
    void SetEnableDrawTriangles(bool Value) { FEnableDrawTriangles = Value; }
    bool EnableModPanel() const { return FEnableModPanel; }
    void SetEnableModPanel(bool Value) { FEnableModPanel = Value; }
    // Ignore both reference axes; redraws.
    bool DefaultDistance() const { return FDefaultDistance; }
    void SetDefaultDistance(bool Value);
    TColor SphereColor() const { return FSphereColor; }
    void SetSphereColor(TColor Value);
    // The edit history that takes each key action and each ApplyModification as one step;
    // none by default.
    TQorEditHistory* History() const { return FHistory; }
    void SetHistory(TQorEditHistory* Value);
    // Draws the balls of the cells that History reports changed since its reference in
    // their own colour; off by default. Redraws.
    bool ShowChanges() const { return FShowChanges; }
    void SetShowChanges(bool Value);

    // The live operating point (off by default; off, the packets' messages change
    // nothing). On, a message from HorizontalPosition or VerticalPosition asks for one
    // UpdateOperatingPoint once the running refresh pass is over, however many packets
    // it delivered. Turning it off forgets the point and its trail.
    bool ShowOperatingPoint() const { return FShowOperatingPoint; }
    void SetShowOperatingPoint(bool Value);
    // The positions the trail keeps, 0 ... 256; others are ignored.
    int TrailLength() const { return FTrail.Capacity(); }
    void SetTrailLength(int Value);
    TColor OperatingPointColor() const { return FOperatingPointColor; }
    void SetOperatingPointColor(TColor Value);
    // With ShowOperatingPoint and Data: places the packets' user values on ColRef and
    // RowRef (without an axis the value is a 1-based column or row number; without a
    // packet the first one), weighs the cells around the point, adds it to the trail,
    // redraws once and raises OnOperatingPoint. The samples are not rebuilt.
    void UpdateOperatingPoint();
    // Whether a point has been placed since ShowOperatingPoint was last turned on.
    bool HasOperatingPoint() const { return FHasOperatingPoint; }
    // The packets' user values, the point on the map and the weights of its cells.
    double HorizontalValue() const { return FHorizontalValue; }
    double VerticalValue() const { return FVerticalValue; }
    const TMapPoint& OperatingPoint() const { return FOperatingPoint; }
    const std::vector<TCellWeight>& OperatingPointWeights() const { return FPointWeights; }
    const TTrail& Trail() const { return FTrail; }
    void SetOnOperatingPoint(TNotifyEvent Handler) { FOnOperatingPoint = std::move(Handler); }

    void SetOnCustumRise(TCustumEditEvent Handler) { FOnCustumRise = std::move(Handler); }
    void SetOnCustumUnrise(TCustumEditEvent Handler) { FOnCustumUnrise = std::move(Handler); }
    const TCustumEditEvent& OnCustumRise() const { return FOnCustumRise; }
    const TCustumEditEvent& OnCustumUnrise() const { return FOnCustumUnrise; }

    // State.
    bool ContextReady() const { return FContextReady; }
    const std::vector<MAP_SAMPLE>& Samples() const { return FSamples; }
    int ColCountSnapshot() const { return FColCountSnapshot; }
    int RowCountSnapshot() const { return FRowCountSnapshot; }
    int CellMax() const { return FCellMax; }
    int CellMin() const { return FCellMin; }
    const TRect& Selection() const { return FSelection; }
    // Stores the selection and refreshes the samples' flags (no redraw).
    void SetSelection(const TRect& Value);
    const TCamera& Camera() const { return FCamera; }
    const TCamera& DefaultCamera() const { return FDefaultCamera; }
    // True while the map is turned so far (ViewAngle below -40) that the arrow keys are
    // remapped; recomputed by the keys that turn the map.
    bool Rotated() const { return FRotated; }

    // The value-modification panel, owned by and placed on the view; null only once it
    // has been destroyed.
    TMapModPanel* ModPanel() const { return FModPanel; }
    // With a panel and EnableModPanel: hides a shown panel; shows a hidden one and gives
    // its edit the focus, with the text selected so that typing replaces it.
    void ToggleModPanel();
    // Every selected cell set to the edit's IntValue ("Assoluta"), offset by it
    // ("Relativa") or scaled by it in percent ("Percentuale"); then the panel is hidden
    // and the view takes the focus. Without Data nothing happens and the panel stays.
    // A cell whose value cannot be read is left alone by the two modes that need it.
    void ApplyModification();
    // Hides the panel and gives the view the focus.
    void CancelModification();
    // The single selected cell up by one, and its neighbours toward it: the 3 x 3 block,
    // then two cells along its column and its row, each raised by one while it stays low
    // enough against the centre. A neighbour of -1 is skipped.
    void RaiseRule();
    // The mirror of RaiseRule without the first step; stops at the first cell of 1 it
    // reaches. Cells whose value cannot be read are left alone by both rules.
    void LowerRule();

    // Spacing from the reference axes, read afresh at every call.
    double ColumnSpacingAt(int Index) const;
    double RowSpacingAt(int Index) const;
    // Colour of a sample height in the dynamic colour mode.
    TRgb HeightColor(double Height) const;

    void InitGLState();
    void SetupProjection();
    void BuildSamples();
    void RefreshSelectionFlags();
    // The samples' changed marks from History (all clear without ShowChanges); true when
    // one of them changed.
    bool RefreshChangeFlags();
    // Draws one frame and presents it; counts the call even without a context.
    void RenderScene();
    // Outside design mode and with a context: finish and one buffer swap.
    void PresentFrame();

    // What the next frame draws, as data.
    TSceneFrame SceneFrame() const;
    // How primitives are sent; the batched drawing unless told otherwise.
    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode Value) { FDrawMode = Value; }
    // RenderScene calls since construction.
    int RenderCount() const { return FRenderCount; }
    // Samples rebuilds since construction (BuildSamples calls that had Data).
    int BuildCount() const { return FBuildCount; }
    // The picture last presented; empty without a context.
    const TFrameImage& Picture() const;

protected:
    // Without Data nothing. Ctrl (with or without Shift): value changes, no redraw. Shift:
    // the selection grows; otherwise it moves. Both redraw, for any key.
    void KeyDown(Word& Key, TShiftState Shift) override;
    // The camera characters w, a, d, s, r, z, x, c, v (lower case only) and Enter, which
    // toggles the panel; with ShowOperatingPoint, Space selects the cell that counts most
    // at the live point. Every character redraws.
    void KeyPress(char& Key) override;
    void Paint(QPainter& Canvas) override;
    void Resize() override;
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The provider the view's context comes from; the default draws off-screen with EGL.
    virtual std::unique_ptr<TGLContextProvider> CreateContextProvider();

private:
    void CreateGLContext();
    void WMCreate();
    void WMDataChanged(const TMessage& Message);
    void WMDataResized(const TMessage& Message);
    bool Designing() const { return ComponentState().Contains(csDesigning); }
    bool Drawable() const { return FContextReady && !Designing(); }
    void TakeSnapshot();
    // Points Slot at Value and keeps the client registrations right: the old component is
    // left only when no other role of the view still refers to it.
    template <class T> void Rebind(T*& Slot, T* Value);
    bool Refers(const TComponent* Component) const;

    void CreateModPanel();
    // Bottom-right corner of the view.
    void PlaceModPanel();
    void MoveSelection(Word Key);
    void GrowSelection(Word Key);
    void ChangeValues(Word Key);
    // Adds Delta to every selected cell that can be read, tracking the range.
    void StepSelectedCells(double Delta);
    void RaiseCustom(const TCustumEditEvent& Event);
    void TrackRange(double Value);
    void FocusView();
    void EditKeyPress(char& Key);

    enum class TCameraAction {
        Forward,
        TurnLeft,
        TurnRight,
        Backward,
        Reset,
        Up,
        Down,
        TiltUp,
        TiltDown
    };
    struct TCameraKey {
        char Key;
        TCameraAction Action;
    };
    void MoveCamera(TCameraAction Action);
    void ScheduleOperatingPoint();
    void SelectOperatingCell();
    double LivePosition(TQorPacketData* Packet, TQorVector* Axis, int Count, double& Value);

    TQorMatrix* FData = nullptr;
    TQorVector* FRowRef = nullptr;
    TQorVector* FColRef = nullptr;
    TQorPacketData* FHorizontalPosition = nullptr;
    TQorPacketData* FVerticalPosition = nullptr;
    TColor FBackGroundColor = clSilver;
    TSphereColor FSphereColorMode = scFixed;
    TEditMode FEditMode = emSingle;
    float FSphereRadius = 0.15f;
    bool FEnableDrawSphere = true;
    bool FEnableDrawLine = true;
    bool FEnableDrawTriangles = true;
    bool FEnableModPanel = true;
    bool FDefaultDistance = false;
    TColor FSphereColor = clBlack;
    TCustumEditEvent FOnCustumRise, FOnCustumUnrise;
    TQorEditHistory* FHistory = nullptr;
    bool FShowChanges = false;

    std::vector<MAP_SAMPLE> FSamples;
    int FColCountSnapshot = 0, FRowCountSnapshot = 0;
    int FCellMax = INT_MIN, FCellMin = INT_MAX;
    TRect FSelection;
    TCamera FCamera, FDefaultCamera;
    bool FRotated = false;
    // The camera characters in the order they are compared.
    std::array<TCameraKey, 9> FCameraKeys;
    TMapModPanel* FModPanel = nullptr;
    std::unique_ptr<TMapKeyClaim> FKeyClaim;

    std::unique_ptr<TGLContextProvider> FContext;
    std::unique_ptr<TMapRenderer> FRenderer;
    std::unique_ptr<TWindowWatcher> FWindowWatcher;
    bool FContextReady = false;
    bool FWindowCreated = false;
    TDrawMode FDrawMode = TDrawMode::Batched;
    int FRenderCount = 0;
    int FBuildCount = 0;
    int FBuildGeneration = 0;

    bool FShowOperatingPoint = false;
    TColor FOperatingPointColor = clBlue;
    TTrail FTrail;
    bool FHasOperatingPoint = false;
    bool FOperatingPointPending = false;
    double FHorizontalValue = 0, FVerticalValue = 0;
    TMapPoint FOperatingPoint;
    std::vector<TCellWeight> FPointWeights;
    TNotifyEvent FOnOperatingPoint;
};

// Registers TQor3DMap (and the visual classes it derives from) for form files.
void RegisterMap3DClasses();

} // namespace qor
