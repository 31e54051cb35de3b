#include "app/Workspace/ModelView.h"

#include "scene/Coarse.h"

#include <QMouseEvent>
#include <QOpenGLShaderProgram>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

// GLSL as OpenGL 2.1 and OpenGL ES 2 both take it.
const char* kVertexShader = R"(
attribute vec3 position;
attribute vec3 normal;
attribute vec2 texcoord;
uniform mat4 projection;
uniform mat4 view;
varying vec3 vNormal;
varying vec2 vTexcoord;
void main() {
    vNormal = normal;
    vTexcoord = texcoord;
    gl_Position = projection * view * vec4(position, 1.0);
}
)";
const char* kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D picture;
uniform float textured;
uniform vec4 colour;
uniform vec3 light;
varying vec3 vNormal;
varying vec2 vTexcoord;
void main() {
    // A light at the eye, both sides lit: a model's inside shows too.
    float lit = 0.4 + 0.6 * abs(dot(normalize(vNormal), light));
    vec4 c = textured > 0.5 ? texture2D(picture, vTexcoord) : colour;
    gl_FragColor = vec4(c.rgb * (colour.a > 1.5 ? 1.0 : lit), 1.0);
}
)";

// Pairs of ends, each edge kept once whichever way it runs, in the order of
// their ends.
template <typename Index> void KeepEachEdgeOnce(std::vector<Index>& ends) {
    std::vector<uint64_t> edges(ends.size() / 2);
    for (size_t e = 0; e < edges.size(); ++e) {
        const uint64_t a = ends[2 * e], b = ends[2 * e + 1];
        edges[e] = std::min(a, b) << 32 | std::max(a, b);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    ends.resize(edges.size() * 2);
    for (size_t e = 0; e < edges.size(); ++e) {
        ends[2 * e] = Index(edges[e] >> 32);
        ends[2 * e + 1] = Index(edges[e] & 0xFFFFFFFFu);
    }
}

} // namespace

ModelView::ModelView(QWidget* parent) : QOpenGLWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150); // low enough for every row under it on a small screen
    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(150);
    connect(m_settle, &QTimer::timeout, this, [this] { update(); });
}

ModelView::~ModelView() {
    makeCurrent();
    Release();
    delete m_program;
    doneCurrent();
}

void ModelView::SetScene(std::vector<ScenePart> parts,
                         std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures,
                         bool fit) {
    m_parts = std::move(parts);
    m_pictures = std::move(pictures);
    m_dirty = true;
    if (fit)
        FitView();
    update();
}

void ModelView::SetPictures(
    std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures) {
    if (context() && !m_textures.empty()) {
        // Let go of the textures of pictures no longer worn, while those
        // pictures still live (so that no new picture shares an old address).
        std::vector<const TextureImage*> kept;
        for (const auto& part : pictures)
            for (const auto& picture : part)
                kept.push_back(picture.get());
        makeCurrent();
        for (auto at = m_textures.begin(); at != m_textures.end();)
            if (std::find(kept.begin(), kept.end(), at->first) == kept.end()) {
                glDeleteTextures(1, &at->second);
                at = m_textures.erase(at);
            } else {
                ++at;
            }
        doneCurrent();
    }
    m_pictures = std::move(pictures);
    for (Batch& b : m_batches) {
        const size_t p = size_t(b.part), s = size_t(b.surface);
        b.picture =
            p < m_pictures.size() && s < m_pictures[p].size() ? m_pictures[p][s].get() : nullptr;
    }
    update();
}

void ModelView::SetSelected(int part, int surface) {
    m_selectedPart = part;
    m_selectedSurface = surface;
    update();
}

void ModelView::SetOutlineShown(bool shown) {
    m_outlineShown = shown;
    update();
}

void ModelView::FitView() {
    m_camera.Fit(BoundsOf(m_parts));
    update();
}

void ModelView::initializeGL() {
    initializeOpenGLFunctions();
    GLint side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    m_maxTextureSide = int(side);
    m_wideIndices = !context()->isOpenGLES() ||
                    context()->hasExtension(QByteArrayLiteral("GL_OES_element_index_uint"));
    m_program = new QOpenGLShaderProgram;
    m_program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader);
    m_program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader);
    m_program->bindAttributeLocation("position", 0);
    m_program->bindAttributeLocation("normal", 1);
    m_program->bindAttributeLocation("texcoord", 2);
    m_program->link();
    m_dirty = true;
}

void ModelView::resizeGL(int, int) {}

void ModelView::Release() {
    for (Batch& b : m_batches)
        for (GLuint* buffer : {&b.buffer, &b.indices, &b.lines, &b.coarse})
            if (*buffer)
                glDeleteBuffers(1, buffer);
    m_batches.clear();
    for (auto& [picture, id] : m_textures)
        glDeleteTextures(1, &id);
    m_textures.clear();
}

GLuint ModelView::TextureFor(const TextureImage* picture) {
    if (!picture || picture->width <= 0 || picture->height <= 0)
        return 0;
    auto found = m_textures.find(picture);
    if (found != m_textures.end())
        return found->second;
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // The game repeats textures; sizes that are not powers of two cannot
    // repeat on OpenGL ES 2, so those are clamped there.
    const bool powers = (picture->width & (picture->width - 1)) == 0 &&
                        (picture->height & (picture->height - 1)) == 0;
    const GLint wrap = powers || !context()->isOpenGLES() ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Rows top first, so that v = 0 is the picture's top row, as the layout has it.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, picture->width, picture->height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, picture->rgba.data());
    m_textures[picture] = id;
    return id;
}

namespace {

// What a software renderer turns at 30 frames a second on two cores, with
// room for the rest of the frame.
constexpr size_t kTrianglesWhileMoving = 80000;

bool SameCamera(const OrbitCamera& a, const OrbitCamera& b) {
    return a.yaw == b.yaw && a.pitch == b.pitch && a.distance == b.distance &&
           a.fieldOfView == b.fieldOfView && a.target.x == b.target.x && a.target.y == b.target.y &&
           a.target.z == b.target.z;
}

} // namespace

void ModelView::Upload() {
    Release();
    m_uploadedTriangles = 0;
    m_drawnFrom.reset();
    size_t total = 0;
    for (const ScenePart& part : m_parts)
        for (const Surface& surface : part.model->surfaces)
            total += surface.triangles.size();
    for (size_t p = 0; p < m_parts.size(); ++p) {
        const ScenePart& part = m_parts[p];
        for (size_t s = 0; s < part.model->surfaces.size(); ++s) {
            const Surface& surface = part.model->surfaces[s];
            const SurfaceFrame frame = FrameOf(*part.model, s, part.frame, part.next, part.blend);
            if (frame.positions.empty())
                continue;
            // Each vertex once, and the triangles as 16-bit indices (what
            // OpenGL ES 2 draws), or 32-bit ones past those where the OpenGL
            // in use takes them (every desktop one): a sculpt's million
            // triangles shade each vertex once instead of at every corner.
            // Elsewhere a surface with more vertices is spelled out corner
            // by corner.
            const size_t vertices = frame.positions.size();
            const bool wide = vertices > 65536;
            const bool indexed = !wide || m_wideIndices;
            std::vector<float> data;
            std::vector<uint16_t> indices, lines;
            std::vector<uint32_t> wideIndices, wideLines;
            auto put = [&](size_t v) {
                const Vec3 at = part.placement.Apply(frame.positions[v]);
                const Vec3 n = part.placement.Turn(frame.normals[v]);
                data.insert(data.end(), {at.x, at.y, at.z, n.x, n.y, n.z, float(surface.u[v]),
                                         float(surface.v[v])});
            };
            data.reserve((indexed ? vertices : surface.triangles.size() * 3) * 8);
            if (indexed)
                for (size_t v = 0; v < vertices; ++v)
                    put(v);
            ForEachTriangle(surface, [&](int a, int b, int c) {
                const int k[3] = {a, b, c};
                for (int i = 0; i < 3; ++i) {
                    if (!indexed) {
                        put(size_t(k[i]));
                    } else if (wide) {
                        wideIndices.push_back(uint32_t(k[i]));
                        wideLines.push_back(uint32_t(k[i]));
                        wideLines.push_back(uint32_t(k[(i + 1) % 3]));
                    } else {
                        indices.push_back(uint16_t(k[i]));
                        lines.push_back(uint16_t(k[i]));
                        lines.push_back(uint16_t(k[(i + 1) % 3]));
                    }
                }
            });
            if (indices.empty() && wideIndices.empty() && (indexed || data.empty()))
                continue;
            // The outline draws each edge once, not once for each face beside it.
            if (wide)
                KeepEachEdgeOnce(wideLines);
            else
                KeepEachEdgeOnce(lines);
            Batch b{int(p), int(s)};
            glGenBuffers(1, &b.buffer);
            glBindBuffer(GL_ARRAY_BUFFER, b.buffer);
            glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size() * sizeof(float)), data.data(),
                         GL_STATIC_DRAW);
            if (indexed) {
                const void* corners = wide ? static_cast<const void*>(wideIndices.data())
                                           : static_cast<const void*>(indices.data());
                const void* ends = wide ? static_cast<const void*>(wideLines.data())
                                        : static_cast<const void*>(lines.data());
                const size_t cornerCount = wide ? wideIndices.size() : indices.size();
                const size_t endCount = wide ? wideLines.size() : lines.size();
                const size_t size = wide ? 4 : 2;
                b.indexType = wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
                glGenBuffers(1, &b.indices);
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.indices);
                glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(cornerCount * size), corners,
                             GL_STATIC_DRAW);
                b.corners = GLsizei(cornerCount);
                glGenBuffers(1, &b.lines);
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.lines);
                glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(endCount * size), ends,
                             GL_STATIC_DRAW);
                b.lineCorners = GLsizei(endCount);
                // A scene too large to turn smoothly (a sculpt, or many
                // models side by side) gets its coarse stand-ins, made once,
                // each surface its share of what turns at the screen's pace.
                if (total > kTrianglesWhileMoving && (wide || m_wideIndices)) {
                    const size_t target = size_t(double(cornerCount) / 3 *
                                                 double(kTrianglesWhileMoving) / double(total));
                    std::vector<uint32_t> narrow;
                    if (!wide)
                        narrow.assign(indices.begin(), indices.end());
                    const std::vector<uint32_t> coarse = CoarseTriangles(
                        data, 8, wide ? wideIndices : narrow, std::max<size_t>(target, 1));
                    if (!coarse.empty()) {
                        glGenBuffers(1, &b.coarse);
                        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.coarse);
                        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(coarse.size() * 4),
                                     coarse.data(), GL_STATIC_DRAW);
                        b.coarseCorners = GLsizei(coarse.size());
                    }
                }
            } else {
                b.corners = GLsizei(data.size() / 8);
            }
            if (p < m_pictures.size() && s < m_pictures[p].size())
                b.picture = m_pictures[p][s].get();
            m_uploadedTriangles += size_t(b.corners / 3);
            m_batches.push_back(b);
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    m_dirty = false;
}

void ModelView::paintGL() {
    if (m_dirty)
        Upload();
    glClearColor(0.055f, 0.067f, 0.086f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!m_program || !m_program->isLinked())
        return;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    m_program->bind();
    const float aspect = float(width()) / float(std::max(1, height()));
    const std::array<float, 16> projection = m_camera.Projection(aspect), view = m_camera.View();
    m_program->setUniformValue("projection", QMatrix4x4(projection.data()).transposed());
    m_program->setUniformValue("view", QMatrix4x4(view.data()).transposed());
    const Vec3 light = Normalised(m_camera.Eye() - m_camera.target);
    m_program->setUniformValue("light", QVector3D(light.x, light.y, light.z));
    m_program->setUniformValue("picture", 0);
    auto bindCorners = [this](GLuint buffer) {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        for (GLuint i = 0; i < 3; ++i)
            glEnableVertexAttribArray(i);
        const GLsizei stride = 8 * sizeof(float);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(3 * sizeof(float)));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(6 * sizeof(float)));
    };
    // Faces a little behind their outlines, so that the outline wins.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1, 1);
    glActiveTexture(GL_TEXTURE0);
    // While the camera moves, the coarse stand-ins; the full mesh once it stops.
    const bool moving = m_drawnFrom && !SameCamera(*m_drawnFrom, m_camera);
    m_drawnFrom = m_camera;
    bool coarsened = false;
    m_drawnTriangles = 0;
    for (const Batch& b : m_batches) {
        const GLuint texture = TextureFor(b.picture);
        glBindTexture(GL_TEXTURE_2D, texture);
        m_program->setUniformValue("textured", texture ? 1.0f : 0.0f);
        m_program->setUniformValue("colour", QVector4D(0.6f, 0.6f, 0.62f, 1));
        bindCorners(b.buffer);
        if (moving && b.coarse) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.coarse);
            glDrawElements(GL_TRIANGLES, b.coarseCorners, GL_UNSIGNED_INT, nullptr);
            m_drawnTriangles += size_t(b.coarseCorners / 3);
            coarsened = true;
            continue;
        }
        m_drawnTriangles += size_t(b.corners / 3);
        if (b.indices) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.indices);
            glDrawElements(GL_TRIANGLES, b.corners, b.indexType, nullptr);
        } else {
            glDrawArrays(GL_TRIANGLES, 0, b.corners);
        }
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    // One pixel of the screen wide, however dense the screen: the outline
    // shows the surface without covering its paint.
    glLineWidth(1.0f);
    for (const Batch& b : m_batches) {
        if (!m_outlineShown || b.part != m_selectedPart || b.surface != m_selectedSurface)
            continue;
        if (moving && b.coarse)
            continue; // its outline waits, as its whole mesh does, for the camera to stop
        m_program->setUniformValue("textured", 0.0f);
        m_program->setUniformValue("colour", QVector4D(0.93f, 0.52f, 0.13f, 2)); // unlit orange
        if (!b.lines)
            continue; // spelled out: no outline
        // An outline of more edges than a quarter of the view's pixels
        // would paint the surface solid orange, and a software renderer
        // takes a second a frame to draw a sculpt's millions of them.
        if (qint64(b.lineCorners / 2) > qint64(width()) * height() / 4)
            continue;
        bindCorners(b.buffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.lines);
        glDrawElements(GL_LINES, b.lineCorners, b.indexType, nullptr);
    }
    for (GLuint i = 0; i < 3; ++i)
        glDisableVertexAttribArray(i);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    m_program->release();
    if (coarsened)
        m_settle->start();
}

void ModelView::mousePressEvent(QMouseEvent* event) {
    m_pressAt = m_lastAt = event->position().toPoint();
    m_dragging = false;
}

void ModelView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    if ((at - m_pressAt).manhattanLength() > 3)
        m_dragging = true;
    const QPoint d = at - m_lastAt;
    m_lastAt = at;
    m_camera.yaw -= float(d.x()) * 0.01f;
    m_camera.pitch = std::clamp(m_camera.pitch + float(d.y()) * 0.01f, -1.5f, 1.5f);
    update();
}

void ModelView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragging || event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    const std::optional<FaceHit> hit =
        PickFace(m_parts, m_camera.RayThrough(float(at.x()), float(at.y()), float(width()),
                                              float(height())));
    if (hit)
        emit faceClicked(hit->part, hit->surface, hit->triangle);
}

void ModelView::wheelEvent(QWheelEvent* event) {
    const float steps = float(event->angleDelta().y()) / 120.0f;
    m_camera.distance = std::clamp(m_camera.distance * std::pow(0.85f, steps), 0.1f, 1e6f);
    update();
}

void ModelView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F || event->key() == Qt::Key_Home) {
        FitView();
        return;
    }
    QOpenGLWidget::keyPressEvent(event);
}
