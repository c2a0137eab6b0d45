#include "map3d/MapRenderer.h"

#include "map3d/BatchedScene.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>

namespace qor {

// A GLU quadric in fill style, made on first use and freed with the renderer.
struct TMapRenderer::TQuadric {
    GLUquadric* Q = gluNewQuadric();
    TQuadric() { gluQuadricDrawStyle(Q, GLU_FILL); }
    ~TQuadric() { gluDeleteQuadric(Q); }
    TQuadric(const TQuadric&) = delete;
    TQuadric& operator=(const TQuadric&) = delete;
};

TMapRenderer::TMapRenderer() : FCache(std::make_unique<TBatchedScene>()) {}

TMapRenderer::~TMapRenderer() = default;

void TMapRenderer::InitGLState(const TRgb& Background) {
    glClearColor(Background.R, Background.G, Background.B, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const GLfloat ambient[] = {0.7f, 0.7f, 0.7f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 128.0f);
}

void TMapRenderer::SetupProjection(int Width, int Height) {
    glViewport(0, 0, Width, Height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40.0, static_cast<float>(Width) / static_cast<float>(Height), 1.0, 600.0);
    glMatrixMode(GL_MODELVIEW);
}

void TMapRenderer::BeginScene(const TSceneFrame& Frame) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glLoadIdentity();
    glTranslatef(0.0f, -10.0f, -50.0f);
    const GLfloat light[] = {-50.0f, 40.0f, -50.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glPushMatrix();
    glTranslatef(0.0f, SceneLift(Frame.CellMax), 0.0f);
    const TCamera& c = Frame.Camera;
    const double heading = -0.35;
    gluLookAt(c.EyeX, c.EyeY + c.Tilt, c.EyeZ, c.EyeX + 0.1 * std::sin(heading), c.EyeY - c.Tilt,
              c.EyeZ - 0.1 * std::cos(heading), 0.0, 1.0, 0.0);
    glRotated(c.ViewAngle, 0.0, 1.0, 0.0);
}

void TMapRenderer::DrawFrame(const TSceneFrame& Frame, TDrawMode Mode) {
    if (!FQuadric)
        FQuadric = std::make_unique<TQuadric>();
    BeginScene(Frame);
    if (Mode == TDrawMode::Literal)
        DrawLiteralCells(Frame);
    else
        DrawBatchedCells(Frame);
    DrawLiveOverlay(Frame.Live);
    glPopMatrix();
}

namespace {

void Vertex(const TPoint3& p) {
    glVertex3f(static_cast<float>(p.X), static_cast<float>(p.Y), static_cast<float>(p.Z));
}

// How the live operating point is drawn.
constexpr double LitAlpha = 0.85;    // a lit cell's opacity at weight 1
constexpr double TrailLift = 0.08;   // the trail just above the surface
constexpr double MarkerStem = 2.5;   // height of the marker's stem
constexpr double MarkerRadius = 0.6; // well above the largest cell ball

void ColorOf(const TRgb& c) {
    glColor3f(c.R, c.G, c.B);
}

// The cone over a selected cell: radius 0 at the cell point, 0.2 one unit above it.
void DrawCone(GLUquadric* Q) {
    glPushMatrix();
    glRotatef(270.0f, 1.0f, 0.0f, 0.0f);
    gluCylinder(Q, 0.0, 0.2, 1.0, 5, 5);
    glPopMatrix();
}

} // namespace

void TMapRenderer::DrawLiteralCells(const TSceneFrame& Frame) {
    std::vector<TMeshSegment> segments;
    std::vector<TMeshTriangle> triangles;
    for (const TCellPlacement& placed : Frame.Cells) {
        const TCellArgs& cell = placed.Cell;
        glPushMatrix();
        glTranslatef(static_cast<float>(cell.X), static_cast<float>(cell.G),
                     static_cast<float>(cell.Z));
        if (placed.Selected) {
            glColor3f(1.0f, 0.0f, 0.0f);
            DrawCone(FQuadric->Q);
        }
        if (Frame.DrawSpheres) {
            ColorOf(BallColorOf(Frame, placed));
            gluSphere(FQuadric->Q, Frame.SphereRadius, 5, 5);
        }
        glPopMatrix();
        glColor3f(0.65f, 0.65f, 0.65f);
        if (Frame.DrawLines) {
            glLineWidth(2.0f);
            segments.clear();
            AppendCellLines(cell, segments);
            for (const TMeshSegment& s : segments) {
                glBegin(GL_LINES);
                Vertex(s.A);
                Vertex(s.B);
                glEnd();
            }
        }
        if (Frame.DrawTriangles) {
            triangles.clear();
            AppendCellTriangles(cell, triangles);
            int group = -1;
            for (const TMeshTriangle& t : triangles) {
                if (t.Group != group) {
                    if (group >= 0)
                        glEnd();
                    glBegin(GL_TRIANGLES);
                    group = t.Group;
                }
                ColorOf(HeightColor(t.ColorHeight, Frame.CellMin, Frame.CellMax));
                const GLfloat normal[] = {static_cast<float>(t.Normal.X),
                                          static_cast<float>(t.Normal.Y),
                                          static_cast<float>(t.Normal.Z)};
                glNormal3fv(normal);
                for (const TPoint3& v : t.V)
                    Vertex(v);
            }
            if (group >= 0)
                glEnd();
        }
    }
}

void TMapRenderer::FindMarkerNormals() {
    if (FMarkerNormalsKnown)
        return;
    // The normals a GLU ball and a GLU cone leave current, which light the grid lines
    // drawn after them in the literal drawing: found by drawing each once, changing no
    // pixel.
    const auto normalLeftBy = [](const auto& Draw) {
        GLfloat n[3];
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glDepthMask(GL_FALSE);
        Draw();
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glGetFloatv(GL_CURRENT_NORMAL, n);
        return TPoint3{n[0], n[1], n[2]};
    };
    FBallNormal = normalLeftBy([&] { gluSphere(FQuadric->Q, 1.0, 5, 5); });
    FConeNormal = normalLeftBy([&] { DrawCone(FQuadric->Q); });
    FMarkerNormalsKnown = true;
}

void TMapRenderer::DrawBatchedCells(const TSceneFrame& Frame) {
    FindMarkerNormals();
    FCache->Update(Frame, FBallNormal, FConeNormal);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    if (!FCache->MarkerIndices.empty()) {
        glVertexPointer(3, GL_FLOAT, 0, FCache->MarkerPositions.data());
        glNormalPointer(GL_FLOAT, 0, FCache->MarkerNormals.data());
        glColorPointer(3, GL_FLOAT, 0, FCache->MarkerColors.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(FCache->MarkerIndices.size()),
                       GL_UNSIGNED_INT, FCache->MarkerIndices.data());
    }
    glDisableClientState(GL_COLOR_ARRAY);
    if (Frame.DrawLines && !FCache->LinePositions.empty()) {
        // Lines first: on the tile borders they win the depth test against the surface,
        // as in the literal drawing, where a cell's lines come before its triangles.
        glColor3f(0.65f, 0.65f, 0.65f);
        glLineWidth(2.0f);
        glVertexPointer(3, GL_FLOAT, 0, FCache->LinePositions.data());
        glNormalPointer(GL_FLOAT, 0, FCache->LineNormals.data());
        glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(FCache->LinePositions.size() / 3));
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    if (Frame.DrawTriangles && !FCache->TrianglePositions.empty()) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, FCache->TrianglePositions.data());
        glNormalPointer(GL_FLOAT, 0, FCache->TriangleNormals.data());
        glColorPointer(3, GL_FLOAT, 0, FCache->TriangleColors.data());
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(FCache->TrianglePositions.size() / 3));
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

void TMapRenderer::DrawLiveOverlay(const TLiveOverlay& Live) {
    if (!Live.Visible)
        return;
    const TRgb& c = Live.Color;
    // The overlay lies on the surface: unlit, translucent, pulled toward the eye so that
    // the surface under it does not win the depth test, and writing no depth of its own.
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -4.0f);
    for (const TLitCell& lit : Live.LitCells) {
        glColor4f(c.R, c.G, c.B, static_cast<float>(LitAlpha * lit.Weight));
        for (int i = 0; i + 1 < lit.Side; ++i) {
            glBegin(GL_TRIANGLE_STRIP);
            for (int j = 0; j < lit.Side; ++j) {
                Vertex(lit.Patch[static_cast<std::size_t>((i + 1) * lit.Side + j)]);
                Vertex(lit.Patch[static_cast<std::size_t>(i * lit.Side + j)]);
            }
            glEnd();
        }
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    // The trail fades from the newest position back to the oldest.
    const std::size_t n = Live.Trail.size();
    if (n >= 2) {
        glLineWidth(3.0f);
        glBegin(GL_LINE_STRIP);
        for (std::size_t k = 0; k < n; ++k) {
            glColor4f(c.R, c.G, c.B, static_cast<float>(k + 1) / static_cast<float>(n));
            const TPoint3& p = Live.Trail[k];
            Vertex({p.X, p.Y + TrailLift, p.Z});
        }
        glEnd();
    }
    glDepthMask(GL_TRUE);
    // The marker: a ball on the surface and a stem above it.
    const TPoint3& m = Live.Marker;
    glColor3f(c.R, c.G, c.B);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    Vertex(m);
    Vertex({m.X, m.Y + MarkerStem, m.Z});
    glEnd();
    glEnable(GL_LIGHTING);
    // The ball leaves its normal current; the next frame's first lines expect the one
    // the cells left.
    GLfloat normal[3];
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    glPushMatrix();
    glTranslatef(static_cast<float>(m.X), static_cast<float>(m.Y), static_cast<float>(m.Z));
    gluSphere(FQuadric->Q, MarkerRadius, 10, 8);
    glPopMatrix();
    glNormal3fv(normal);
}

void TMapRenderer::Finish() {
    glFinish();
}

void TMapRenderer::ReleaseGL() {
    FMarkerNormalsKnown = false;
    FQuadric.reset();
    FCache = std::make_unique<TBatchedScene>();
}

} // namespace qor
