#include "map3d/Qor3DMap.h"

#include "map3d/EglOffscreenContext.h"
#include "map3d/MapKeyClaim.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <utility>

namespace qor {

namespace {

TRgb ColorToRgb(TColor Color) {
    return {GetRValue(Color) / 255.0f, GetGValue(Color) / 255.0f, GetBValue(Color) / 255.0f};
}

// A cell value truncated toward zero, kept within the int range.
int TruncateToInt(double Value) {
    if (Value >= 2147483647.0)
        return INT_MAX;
    if (Value <= -2147483648.0)
        return INT_MIN;
    return static_cast<int>(Value);
}

double ElementOf(TQorVector* Vector, int Index) {
    double value = 0;
    Vector->GetElementValue(Index, value);
    return value;
}

const TFrameImage NoPicture;

} // namespace

TQor3DMap::TQor3DMap(TComponent* AOwner)
    : TPanel(AOwner), FCameraKeys{{{'w', TCameraAction::Forward},
                                   {'a', TCameraAction::TurnLeft},
                                   {'d', TCameraAction::TurnRight},
                                   {'s', TCameraAction::Backward},
                                   {'r', TCameraAction::Reset},
                                   {'z', TCameraAction::Up},
                                   {'x', TCameraAction::Down},
                                   {'c', TCameraAction::TiltUp},
                                   {'v', TCameraAction::TiltDown}}},
      FRenderer(std::make_unique<TMapRenderer>()) {
    SetTabStop(true);
    FCamera = FDefaultCamera;
    FWindowWatcher = std::make_unique<TWindowWatcher>(Widget(), *this);
    FKeyClaim = std::make_unique<TMapKeyClaim>(Widget());
    CreateModPanel();
}

void TQor3DMap::CreateModPanel() {
    FModPanel = new TMapModPanel(this);
    FModPanel->SetParent(this);
    FModPanel->ValueEdit()->SetOnKeyPress([this](TObject*, char& Key) { EditKeyPress(Key); });
    FModPanel->OkButton()->SetOnClick([this](TObject*) { ApplyModification(); });
    FModPanel->CancelButton()->SetOnClick([this](TObject*) { CancelModification(); });
    PlaceModPanel();
}

void TQor3DMap::PlaceModPanel() {
    if (FModPanel)
        FModPanel->SetBounds(Width() - FModPanel->Width(), Height() - FModPanel->Height(),
                             FModPanel->Width(), FModPanel->Height());
}

TQor3DMap::~TQor3DMap() {
    Destroying();
    // The panel's controls call back into the view: they go while it is whole.
    std::unique_ptr<TMapModPanel> panel(std::exchange(FModPanel, nullptr));
    panel.reset();
    FKeyClaim.reset();
    FWindowWatcher.reset();
    for (TQorSerialData* source :
         {static_cast<TQorSerialData*>(FData), static_cast<TQorSerialData*>(FRowRef),
          static_cast<TQorSerialData*>(FColRef), static_cast<TQorSerialData*>(FHorizontalPosition),
          static_cast<TQorSerialData*>(FVerticalPosition)})
        if (source)
            source->RemoveClient(this);
    if (FHistory)
        FHistory->RemoveClient(this);
    FHistory = nullptr;
    FData = nullptr;
    FRowRef = FColRef = nullptr;
    FHorizontalPosition = FVerticalPosition = nullptr;
    if (FContext) {
        if (FContextReady && FContext->MakeCurrent())
            FRenderer->ReleaseGL();
        FContext->DoneCurrent();
        FContext.reset();
    }
    FContextReady = false;
}

bool TQor3DMap::Refers(const TComponent* Component) const {
    return Component && (Component == FData || Component == FRowRef || Component == FColRef ||
                         Component == FHorizontalPosition || Component == FVerticalPosition);
}

template <class T> void TQor3DMap::Rebind(T*& Slot, T* Value) {
    T* old = Slot;
    Slot = Value;
    if (old && old != Value && !Refers(old))
        old->RemoveClient(this);
    if (Value)
        Value->AddClient(this);
}

void TQor3DMap::SetData(TQorMatrix* Value) {
    Rebind(FData, Value);
    if (!FData)
        return;
    TakeSnapshot();
    BuildSamples();
}

void TQor3DMap::TakeSnapshot() {
    FColCountSnapshot = FData->ColCount();
    FRowCountSnapshot = FData->RowCount();
}

void TQor3DMap::SetRowRef(TQorVector* Value) {
    Rebind(FRowRef, Value);
}
void TQor3DMap::SetColRef(TQorVector* Value) {
    Rebind(FColRef, Value);
}
void TQor3DMap::SetHorizontalPosition(TQorPacketData* Value) {
    Rebind(FHorizontalPosition, Value);
}
void TQor3DMap::SetVerticalPosition(TQorPacketData* Value) {
    Rebind(FVerticalPosition, Value);
}

void TQor3DMap::SetBackGroundColor(TColor Value) {
    FBackGroundColor = Value;
    InitGLState();
}

void TQor3DMap::SetSphereColorMode(TSphereColor Value) {
    FSphereColorMode = Value;
    RenderScene();
}

void TQor3DMap::SetSphereRadius(float Value) {
    FSphereRadius = std::clamp(Value, 0.05f, 0.25f);
    RenderScene();
}

void TQor3DMap::SetDefaultDistance(bool Value) {
    FDefaultDistance = Value;
    RenderScene();
}

void TQor3DMap::SetSphereColor(TColor Value) {
    FSphereColor = Value;
    RenderScene();
}

void TQor3DMap::SetHistory(TQorEditHistory* Value) {
    if (Value == FHistory)
        return;
    if (FHistory)
        FHistory->RemoveClient(this);
    FHistory = Value;
    if (FHistory)
        FHistory->AddClient(this);
    if (RefreshChangeFlags())
        RenderScene();
}

void TQor3DMap::SetShowChanges(bool Value) {
    FShowChanges = Value;
    RefreshChangeFlags();
    RenderScene();
}

bool TQor3DMap::RefreshChangeFlags() {
    const int rows = FRowCountSnapshot;
    if (rows <= 0)
        return false;
    const bool show = FShowChanges && FHistory && FData;
    bool any = false;
    for (std::size_t i = 0; i < FSamples.size(); ++i) {
        const int r = static_cast<int>(i % static_cast<std::size_t>(rows));
        const int c = static_cast<int>(i / static_cast<std::size_t>(rows));
        const bool changed = show && FHistory->Changed(FData, r, c);
        any = any || changed != FSamples[i].Changed;
        FSamples[i].Changed = changed;
    }
    return any;
}

void TQor3DMap::SetSelection(const TRect& Value) {
    FSelection = Value;
    RefreshSelectionFlags();
}

void TQor3DMap::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    // The component goes and takes its client list along: only forget it.
    if (AComponent == FData)
        FData = nullptr;
    if (AComponent == FRowRef)
        FRowRef = nullptr;
    if (AComponent == FColRef)
        FColRef = nullptr;
    if (AComponent == FHorizontalPosition)
        FHorizontalPosition = nullptr;
    if (AComponent == FVerticalPosition)
        FVerticalPosition = nullptr;
    if (AComponent == FModPanel)
        FModPanel = nullptr;
    if (AComponent == FHistory)
        FHistory = nullptr;
}

double TQor3DMap::ColumnSpacingAt(int Index) const {
    if (!FColRef)
        return DefaultColSpacing;
    const double b0 = ElementOf(FColRef, 0);
    if (b0 == 0)
        return DefaultColSpacing;
    if (Index == 0)
        return b0 / b0 * RefScale;
    return (ElementOf(FColRef, Index) - ElementOf(FColRef, Index - 1)) / b0 * RefScale;
}

double TQor3DMap::RowSpacingAt(int Index) const {
    if (!FRowRef)
        return DefaultRowSpacing;
    const double b0 = ElementOf(FRowRef, 0);
    if (b0 == 0)
        return DefaultRowSpacing;
    if (Index == 0)
        return b0 / b0 * RefScale * 0.5;
    return (ElementOf(FRowRef, Index) - ElementOf(FRowRef, Index - 1)) / b0 * RefScale * 0.5;
}

TRgb TQor3DMap::HeightColor(double Height) const {
    return qor::HeightColor(Height, FCellMin, FCellMax);
}

void TQor3DMap::BuildSamples() {
    if (!FData)
        return;
    ++FBuildCount;
    const int generation = ++FBuildGeneration;
    const int rows = FRowCountSnapshot, cols = FColCountSnapshot;
    std::vector<MAP_SAMPLE> fresh;
    fresh.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    const bool showChanges = FShowChanges && FHistory;
    int cellMax = INT_MIN, cellMin = INT_MAX;
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            // A cell outside the map's present shape is not read and shows as 0.
            double v = 0;
            if (FData && r < FData->RowCount() && c < FData->ColCount())
                FData->GetCellValue(r, c, v);
            const bool selected = c + 1 >= FSelection.Left && c + 1 <= FSelection.Right &&
                                  r + 1 >= FSelection.Top && r + 1 <= FSelection.Bottom;
            fresh.push_back({v * 0.1, selected,
                             showChanges && r < FData->RowCount() && c < FData->ColCount() &&
                                 FHistory->Changed(FData, r, c)});
            if (v > cellMax)
                cellMax = TruncateToInt(v);
            if (v < cellMin)
                cellMin = TruncateToInt(v);
        }
    }
    // A rebuild that ran from inside this one (a read that notified the view) saw the
    // same or a newer state of the map: its samples stand.
    if (generation != FBuildGeneration)
        return;
    FSamples = std::move(fresh);
    FCellMax = cellMax;
    FCellMin = cellMin;
}

void TQor3DMap::RefreshSelectionFlags() {
    const int rows = FRowCountSnapshot;
    if (rows <= 0)
        return;
    for (std::size_t i = 0; i < FSamples.size(); ++i) {
        const int r = static_cast<int>(i % static_cast<std::size_t>(rows)) + 1;
        const int c = static_cast<int>(i / static_cast<std::size_t>(rows)) + 1;
        FSamples[i].Selected = c >= FSelection.Left && c <= FSelection.Right &&
                               r >= FSelection.Top && r <= FSelection.Bottom;
    }
}

TSceneFrame TQor3DMap::SceneFrame() const {
    TSceneFrame frame;
    frame.Background = ColorToRgb(FBackGroundColor);
    frame.Camera = FCamera;
    frame.CellMin = FCellMin;
    frame.CellMax = FCellMax;
    frame.DrawSpheres = FEnableDrawSphere;
    frame.DrawLines = FEnableDrawLine;
    frame.DrawTriangles = FEnableDrawTriangles;
    frame.DynamicSphereColor = FSphereColorMode == scDynamic;
    frame.SphereColor = ColorToRgb(FSphereColor);
    frame.SphereRadius = FSphereRadius;
    TLayoutInput layout;
    layout.RowCount = FRowCountSnapshot;
    layout.ColCount = FColCountSnapshot;
    layout.Samples = &FSamples;
    if (FColRef && !FDefaultDistance)
        layout.ColumnSpacingAt = [this](int i) { return ColumnSpacingAt(i); };
    if (FRowRef && !FDefaultDistance)
        layout.RowSpacingAt = [this](int i) { return RowSpacingAt(i); };
    frame.Cells = LayoutCells(layout);
    if (FShowOperatingPoint && FHasOperatingPoint)
        frame.Live = BuildLiveOverlay(frame.Cells, FRowCountSnapshot, FColCountSnapshot,
                                      FOperatingPoint, FTrail, ColorToRgb(FOperatingPointColor));
    return frame;
}

void TQor3DMap::CreateGLContext() {
    if (FContext || Designing())
        return;
    FContext = CreateContextProvider();
    FContextReady = FContext && FContext->Create(std::max(Width(), 1), std::max(Height(), 1));
}

std::unique_ptr<TGLContextProvider> TQor3DMap::CreateContextProvider() {
    return std::make_unique<TEglOffscreenContext>();
}

void TQor3DMap::InitGLState() {
    if (!Drawable() || !FContext->MakeCurrent())
        return;
    FRenderer->InitGLState(ColorToRgb(FBackGroundColor));
}

void TQor3DMap::SetupProjection() {
    if (Height() == 0)
        SetHeight(1);
    if (!Drawable())
        return;
    FContext->Resize(Width(), Height());
    FRenderer->SetupProjection(std::max(Width(), 1), std::max(Height(), 1));
}

void TQor3DMap::RenderScene() {
    ++FRenderCount;
    if (!Drawable() || !FContext->MakeCurrent())
        return;
    FRenderer->DrawFrame(SceneFrame(), FDrawMode);
    PresentFrame();
}

void TQor3DMap::PresentFrame() {
    if (!Drawable())
        return;
    TMapRenderer::Finish();
    FContext->SwapBuffers();
    Widget()->update();
}

const TFrameImage& TQor3DMap::Picture() const {
    return FContext ? FContext->FrontBuffer() : NoPicture;
}

void TQor3DMap::Paint(QPainter& Canvas) {
    inherited::Paint(Canvas);
    if (!Drawable() || !FContext->MakeCurrent())
        return;
    TMapRenderer::Finish();
    FContext->SwapBuffers();
    FContext->SwapBuffers();
    const TFrameImage& picture = FContext->FrontBuffer();
    if (picture.Pixels.empty())
        return;
    const QImage image(reinterpret_cast<const uchar*>(picture.Pixels.data()), picture.Width,
                       picture.Height, picture.Width * 4, QImage::Format_ARGB32);
    Canvas.drawImage(Widget()->rect(), image);
}

void TQor3DMap::Resize() {
    inherited::Resize();
    if (Drawable()) {
        SetupProjection();
        RenderScene();
    }
    PlaceModPanel();
}

void TQor3DMap::WMCreate() {
    if (FWindowCreated)
        return;
    FWindowCreated = true;
    try {
        CreateGLContext();
    } catch (...) {
        FContextReady = false;
    }
    InitGLState();
    SetupProjection();
    RenderScene();
}

void TQor3DMap::WMDataChanged(const TMessage& Message) {
    const auto is = [&](const TQorSerialData* Source) {
        return Source && Message.WParam == reinterpret_cast<WPARAM>(Source);
    };
    if (is(FData)) {
        BuildSamples();
        RenderScene();
    }
    if (is(FColRef))
        RenderScene();
    if (is(FRowRef))
        RenderScene();
    if (FShowOperatingPoint && (is(FHorizontalPosition) || is(FVerticalPosition)))
        ScheduleOperatingPoint();
}

void TQor3DMap::WMDataResized(const TMessage& Message) {
    // The message names the new shape, not its sender; only a change of Data's own shape
    // concerns the view.
    if (!FData || Message.WParam != static_cast<WPARAM>(FData->ColCount()) ||
        Message.LParam != static_cast<LPARAM>(FData->RowCount()))
        return;
    TakeSnapshot();
    BuildSamples();
    RenderScene();
}

void TQor3DMap::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CREATE:
        WMCreate();
        break;
    case WM_DATA_CHANGED:
        WMDataChanged(Message);
        break;
    case WM_DATA_RESIZED:
        WMDataResized(Message);
        break;
    case WM_HISTORY_CHANGED:
        // A new reference, or an undo whose values the view has drawn already.
        if (RefreshChangeFlags())
            RenderScene();
        break;
    default:
        inherited::Dispatch(Message);
    }
}

} // namespace qor
