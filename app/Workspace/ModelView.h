#pragma once
// The model in 3D, wearing its textures: orbit by dragging, zoom with the
// wheel, F to fit; clicking a face says which one. Drawn with OpenGL 2.1 /
// ES 2 calls only, so that a software renderer shows it too.
#include "image/TextureImage.h"
#include "scene/Scene.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QOpenGLShaderProgram;
class QTimer;

class ModelView : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT

  public:
    explicit ModelView(QWidget* parent = nullptr);
    ~ModelView() override;

    // What to show: the parts, and per part per surface the picture it wears
    // (null: none, drawn grey). The camera stays unless fit is asked.
    void SetScene(std::vector<ScenePart> parts,
                  std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures, bool fit);
    // Other pictures on the same parts (one arrived from its decoder): the
    // model is not uploaded again, and textures no longer worn are let go.
    void SetPictures(std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures);
    // The pictures shown, per part per surface.
    const std::vector<std::vector<std::shared_ptr<const TextureImage>>>& pictures() const {
        return m_pictures;
    }
    // The largest texture side the OpenGL in use takes (known once it started).
    int maxTextureSide() const { return m_maxTextureSide; }
    // Outlines one surface of one part (-1: none); a surface of more edges
    // than a quarter of the view's pixels is not outlined.
    void SetSelected(int part, int surface);
    // Whether the chosen surface's outline is drawn (it hides the paint of a
    // model of one surface).
    void SetOutlineShown(bool shown);
    bool outlineShown() const { return m_outlineShown; }
    void FitView();
    OrbitCamera& camera() { return m_camera; }
    const std::vector<ScenePart>& parts() const { return m_parts; }
    // The triangles uploaded at the last drawing.
    size_t uploadedTriangles() const { return m_uploadedTriangles; }
    // The triangles the last frame drew: fewer than uploaded while the camera
    // moves around a mesh too large to turn at the screen's pace.
    size_t drawnTriangles() const { return m_drawnTriangles; }

  signals:
    void faceClicked(int part, int surface, int triangle);

  protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Batch {
        int part, surface;
        GLuint buffer = 0;  // position, normal, texture coordinate: 8 floats a vertex
        GLuint indices = 0; // the triangles' corners (0: the buffer lists corners)
        GLsizei corners = 0;
        GLuint lines = 0; // the edges' ends, for the outline
        GLsizei lineCorners = 0;
        GLenum indexType = GL_UNSIGNED_SHORT;
        GLuint coarse = 0; // fewer triangles, drawn while the camera moves (0: none)
        GLsizei coarseCorners = 0;
        const TextureImage* picture = nullptr;
    };
    void Upload();
    void Release();
    GLuint TextureFor(const TextureImage* picture);

    std::vector<ScenePart> m_parts;
    std::vector<std::vector<std::shared_ptr<const TextureImage>>> m_pictures;
    std::vector<Batch> m_batches;
    std::map<const TextureImage*, GLuint> m_textures;
    QOpenGLShaderProgram* m_program = nullptr;
    bool m_dirty = true;
    size_t m_uploadedTriangles = 0, m_drawnTriangles = 0;
    std::optional<OrbitCamera> m_drawnFrom; // the camera of the last frame
    QTimer* m_settle = nullptr;             // the full mesh once the camera stops
    int m_maxTextureSide = 0;
    bool m_wideIndices = false; // 32-bit indices can be drawn
    int m_selectedPart = -1, m_selectedSurface = -1;
    bool m_outlineShown = true;
    OrbitCamera m_camera;
    QPoint m_pressAt, m_lastAt;
    bool m_dragging = false;
};
