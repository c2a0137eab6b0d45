#pragma once
// Draws a scene frame with OpenGL 1.1 and GLU into whatever context is current. Knows
// nothing of Qt or of how the context was made; one renderer belongs to one context.

#include "map3d/MapScene.h"

#include <memory>
#include <vector>

namespace qor {

class TBatchedScene;

enum class TDrawMode {
    // Every primitive in immediate mode, one glBegin/glEnd per segment and per triangle
    // group, a GLU quadric call per ball and cone: the reference drawing.
    Literal,
    // The same primitives in the same colours: the surface, the grid lines, the balls and
    // the cones as vertex arrays, rebuilt only when the scene changes.
    Batched,
};

class TMapRenderer {
public:
    TMapRenderer();
    ~TMapRenderer();
    TMapRenderer(const TMapRenderer&) = delete;
    TMapRenderer& operator=(const TMapRenderer&) = delete;

    // Clear colour, depth test, blending, lighting and material.
    void InitGLState(const TRgb& Background);
    // Viewport and a 40 degree perspective for a Width x Height drawable (Height >= 1).
    void SetupProjection(int Width, int Height);
    // Clears and draws one frame; does not present it.
    void DrawFrame(const TSceneFrame& Frame, TDrawMode Mode);
    // Frees the display lists and quadrics; call while the renderer's context is current,
    // before the context goes.
    void ReleaseGL();
    // Waits until the current context has drawn everything.
    static void Finish();

private:
    void BeginScene(const TSceneFrame& Frame);
    void DrawLiteralCells(const TSceneFrame& Frame);
    void DrawBatchedCells(const TSceneFrame& Frame);
    void FindMarkerNormals();
    // The live operating point over the cells, the same in both drawing modes.
    void DrawLiveOverlay(const TLiveOverlay& Live);

    struct TQuadric;
    std::unique_ptr<TQuadric> FQuadric;
    std::unique_ptr<TBatchedScene> FCache;
    TPoint3 FBallNormal{0, 0, 1}, FConeNormal{0, 0, 1};
    bool FMarkerNormalsKnown = false;
};

} // namespace qor
