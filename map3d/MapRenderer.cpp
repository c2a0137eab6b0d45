#include "map3d/MapRenderer.h"

#include "map3d/MarkerMesh.h"

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

namespace {

TRgb SphereColorOf(const TSceneFrame& Frame, double Height) {
    return Frame.DynamicSphereColor ? HeightColor(Height, Frame.CellMin, Frame.CellMax)
                                    : Frame.SphereColor;
}

} // namespace

// The frame's surface, grid lines and balls as vertex arrays, kept while the geometry,
// the colour ramp and the balls' look stay the same.
struct TMapRenderer::TBatchCache {
    std::vector<TCellPlacement> Cells;
    int CellMin = 0, CellMax = 0;
    bool DrawSpheres = false, DynamicSphereColor = false;
    TRgb SphereColor;
    float SphereRadius = 0;
    bool Valid = false;
    std::vector<float> TrianglePositions, TriangleNormals, TriangleColors;
    // The grid lines are lit with whatever normal the literal drawing has current when it
    // draws them, so they carry that normal along.
    std::vector<float> LinePositions, LineNormals;
    bool DrawTriangles = false;
    // Balls and cones share one indexed array.
    std::vector<float> MarkerPositions, MarkerNormals, MarkerColors;
    std::vector<std::uint32_t> MarkerIndices;
    TMarkerMesh Ball = UnitBall(5, 5);
    TMarkerMesh Cone = SelectionCone(5, 5);

    static bool SameCells(const std::vector<TCellPlacement>& A,
                          const std::vector<TCellPlacement>& B) {
        if (A.size() != B.size())
            return false;
        for (std::size_t k = 0; k < A.size(); ++k) {
            const TCellArgs &a = A[k].Cell, &b = B[k].Cell;
            if (a.I != b.I || a.X != b.X || a.Z != b.Z || a.D != b.D || a.E != b.E || a.F != b.F ||
                a.G != b.G || a.R != b.R || a.S != b.S || a.RowCount != b.RowCount ||
                a.ColCount != b.ColCount || A[k].Selected != B[k].Selected)
                return false;
        }
        return true;
    }

    bool Matches(const TSceneFrame& Frame) const {
        return Valid && CellMin == Frame.CellMin && CellMax == Frame.CellMax &&
               DrawSpheres == Frame.DrawSpheres && DynamicSphereColor == Frame.DynamicSphereColor &&
               SphereColor == Frame.SphereColor && SphereRadius == Frame.SphereRadius &&
               DrawTriangles == Frame.DrawTriangles && SameCells(Cells, Frame.Cells);
    }

    static void Put(std::vector<float>& v, double X, double Y, double Z) {
        v.push_back(static_cast<float>(X));
        v.push_back(static_cast<float>(Y));
        v.push_back(static_cast<float>(Z));
    }
    static void Put(std::vector<float>& v, const TPoint3& p) { Put(v, p.X, p.Y, p.Z); }
    static void Put(std::vector<float>& v, const TRgb& c) { v.insert(v.end(), {c.R, c.G, c.B}); }

    // The normal current after a frame of this scene: the literal drawing starts the next
    // frame with it.
    TPoint3 NormalAfter(const TSceneFrame& Frame, const TPoint3& BallNormal,
                        const TPoint3& ConeNormal) const {
        if (Frame.Cells.empty())
            return {0, 0, 1};
        if (Frame.DrawTriangles) {
            std::vector<TMeshTriangle> last;
            AppendCellTriangles(Frame.Cells.back().Cell, last);
            return last.back().Normal;
        }
        if (Frame.DrawSpheres)
            return BallNormal;
        for (auto it = Frame.Cells.rbegin(); it != Frame.Cells.rend(); ++it)
            if (it->Selected)
                return ConeNormal;
        return {0, 0, 1};
    }

    void Update(const TSceneFrame& Frame, const TPoint3& BallNormal, const TPoint3& ConeNormal) {
        if (Matches(Frame))
            return;
        DrawTriangles = Frame.DrawTriangles;
        Cells = Frame.Cells;
        CellMin = Frame.CellMin;
        CellMax = Frame.CellMax;
        DrawSpheres = Frame.DrawSpheres;
        DynamicSphereColor = Frame.DynamicSphereColor;
        SphereColor = Frame.SphereColor;
        SphereRadius = Frame.SphereRadius;
        Valid = true;
        for (auto* v : {&TrianglePositions, &TriangleNormals, &TriangleColors, &LinePositions,
                        &LineNormals, &MarkerPositions, &MarkerNormals, &MarkerColors})
            v->clear();
        MarkerIndices.clear();
        std::vector<TMeshTriangle> triangles;
        std::vector<TMeshSegment> segments;
        TPoint3 current = NormalAfter(Frame, BallNormal, ConeNormal);
        for (const TCellPlacement& placed : Frame.Cells) {
            const TCellArgs& cell = placed.Cell;
            triangles.clear();
            segments.clear();
            AppendCellTriangles(cell, triangles);
            AppendCellLines(cell, segments);
            for (const TMeshTriangle& t : triangles) {
                const TRgb c = HeightColor(t.ColorHeight, CellMin, CellMax);
                for (const TPoint3& v : t.V) {
                    Put(TrianglePositions, v);
                    Put(TriangleNormals, t.Normal);
                    Put(TriangleColors, c);
                }
            }
            // The literal order: cone, ball, lines, triangles.
            if (placed.Selected) {
                AddMarker(Cone, 1.0, cell, {1.0f, 0.0f, 0.0f});
                current = ConeNormal;
            }
            if (DrawSpheres) {
                AddMarker(Ball, Frame.SphereRadius, cell, SphereColorOf(Frame, cell.G));
                current = BallNormal;
            }
            for (const TMeshSegment& s : segments) {
                Put(LinePositions, s.A);
                Put(LinePositions, s.B);
                Put(LineNormals, current);
                Put(LineNormals, current);
            }
            if (DrawTriangles && !triangles.empty())
                current = triangles.back().Normal;
        }
    }

    // One marker at the cell point, scaled by Scale: only scaled and translated, so its
    // normals stay those of the unit mesh.
    void AddMarker(const TMarkerMesh& Mesh, double Scale, const TCellArgs& Cell,
                   const TRgb& Color) {
        const auto base = static_cast<std::uint32_t>(MarkerPositions.size() / 3);
        for (std::size_t k = 0; k < Mesh.Points.size(); ++k) {
            const TPoint3& p = Mesh.Points[k];
            Put(MarkerPositions, static_cast<float>(Cell.X) + static_cast<float>(Scale * p.X),
                static_cast<float>(Cell.G) + static_cast<float>(Scale * p.Y),
                static_cast<float>(Cell.Z) + static_cast<float>(Scale * p.Z));
            Put(MarkerNormals, Mesh.Normals[k]);
            Put(MarkerColors, Color);
        }
        for (std::uint32_t index : Mesh.Indices)
            MarkerIndices.push_back(base + index);
    }
};

TMapRenderer::TMapRenderer() : FCache(std::make_unique<TBatchCache>()) {}

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
    glPopMatrix();
}

namespace {

void Vertex(const TPoint3& p) {
    glVertex3f(static_cast<float>(p.X), static_cast<float>(p.Y), static_cast<float>(p.Z));
}

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
            ColorOf(SphereColorOf(Frame, cell.G));
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

void TMapRenderer::Finish() {
    glFinish();
}

void TMapRenderer::ReleaseGL() {
    FMarkerNormalsKnown = false;
    FQuadric.reset();
    FCache = std::make_unique<TBatchCache>();
}

} // namespace qor
