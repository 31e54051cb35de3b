#include "app/Workspace/LayoutView.h"

#include "image/TextureImage.h"
#include "model/Model.h"
#include "render/PlacedTriangles.h"
#include "render/TemplateImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cairo.h>
#include <cmath>

LayoutView::LayoutView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 200);
}

void LayoutView::SetLayout(std::vector<const Surface*> surfaces, std::vector<int> surfaceIndices,
                           const TemplateStyle& style,
                           std::shared_ptr<const TextureImage> texture) {
    m_surfaces = std::move(surfaces);
    m_indices = std::move(surfaceIndices);
    m_style = style;
    m_texture = std::move(texture);
    m_hover.reset();
    if (!m_moved)
        Fit();
    Redraw();
}

double LayoutView::Aspect() const {
    // The texture's shape when there is one, else the template's.
    return m_texture && m_texture->height > 0 ? double(m_texture->width) / m_texture->height
                                              : double(m_style.width) / std::max(1, m_style.height);
}

void LayoutView::SetHighlight(int surface, int triangle) {
    if (surface < 0)
        m_highlight.reset();
    else
        m_highlight = std::pair{surface, triangle};
    update();
}

void LayoutView::Fit() {
    // The unit square, whole, with a margin, keeping the texture's shape.
    const double aspect = Aspect();
    const double side = std::max(1.0, std::min(width() - 20.0, (height() - 20.0) * aspect));
    m_scale = side;
    m_origin = QPointF((width() - side) / 2, (height() - side / aspect) / 2);
    m_moved = false;
    Redraw();
}

void LayoutView::Redraw() {
    if (width() <= 0 || height() <= 0)
        return;
    m_picture = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_picture.fill(QColor(14, 17, 22));
    const double aspect = Aspect();
    TemplateStyle style = m_style;
    style.underlay = m_texture.get();
    style.underlayOpacity = m_texture ? 1.0 : 0.0;
    // The template's own background only over the texture's square.
    const std::optional<Rgba> background = style.background;
    style.background.reset();
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        m_picture.bits(), CAIRO_FORMAT_ARGB32, m_picture.width(), m_picture.height(),
        int(m_picture.bytesPerLine()));
    cairo_t* cr = cairo_create(surface);
    const double w = m_scale, h = m_scale / aspect;
    if (background && !m_texture) {
        cairo_rectangle(cr, m_origin.x(), m_origin.y(), w, h);
        cairo_set_source_rgba(cr, background->r / 255.0, background->g / 255.0,
                              background->b / 255.0, background->a / 255.0);
        cairo_fill(cr);
    }
    // Lines as wide as the template's, whatever the zoom.
    DrawTemplate(
        cr, style, m_surfaces,
        {{w, h, m_origin.x(), m_origin.y()}, m_picture.width(), m_picture.height(), false});
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    update();
}

std::optional<std::pair<int, int>> LayoutView::FaceAt(QPointF point) const {
    const double aspect = Aspect();
    const double u = (point.x() - m_origin.x()) / m_scale,
                 v = (point.y() - m_origin.y()) / (m_scale / aspect);
    std::optional<std::pair<int, int>> found;
    // The last face drawn over the point is the one seen there.
    ForEachPlacedTriangle(m_surfaces, m_style.wrap, [&](const PlacedTriangle& t) {
        double side[3];
        for (int k = 0; k < 3; ++k) {
            const int n = (k + 1) % 3;
            side[k] = (t.u[n] - t.u[k]) * (v - t.v[k]) - (t.v[n] - t.v[k]) * (u - t.u[k]);
        }
        const bool inside = (side[0] >= 0 && side[1] >= 0 && side[2] >= 0) ||
                            (side[0] <= 0 && side[1] <= 0 && side[2] <= 0);
        // Another model's face (a texture's other wearer) is shown, not chosen.
        if (inside && !(side[0] == 0 && side[1] == 0 && side[2] == 0) &&
            m_indices[size_t(t.surface)] >= 0)
            found = std::pair{m_indices[size_t(t.surface)], t.triangle};
    });
    return found;
}

void LayoutView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_picture);
    const double aspect = Aspect();
    // Every drawn copy of the hovered and the highlighted face, outlined.
    for (const auto& outlined :
         {std::pair{m_highlight, QColor(236, 132, 34)}, std::pair{m_hover, QColor(80, 200, 255)}}) {
        // Named, not bound: a lambda below reads the face, which clang before
        // 16 refuses of a structured binding.
        const std::optional<std::pair<int, int>>& face = outlined.first;
        const QColor& colour = outlined.second;
        if (!face)
            continue;
        for (size_t s = 0; s < m_surfaces.size(); ++s) {
            if (m_indices[s] != face->first)
                continue;
            p.setPen(QPen(colour, 2));
            p.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 70));
            ForEachPlacedTriangle(std::vector<const Surface*>{m_surfaces[s]}, m_style.wrap,
                                  [&](const PlacedTriangle& t) {
                                      if (t.triangle != face->second)
                                          return;
                                      QPolygonF poly;
                                      for (int k = 0; k < 3; ++k)
                                          poly << QPointF(m_origin.x() + t.u[k] * m_scale,
                                                          m_origin.y() + t.v[k] * m_scale / aspect);
                                      p.drawPolygon(poly);
                                  });
        }
    }
}

void LayoutView::resizeEvent(QResizeEvent*) {
    // Fitted until the painter zooms or pans.
    if (!m_moved)
        Fit();
    else
        Redraw();
}

void LayoutView::wheelEvent(QWheelEvent* event) {
    // About the pointer: the point under it stays under it.
    const double factor = std::pow(1.2, event->angleDelta().y() / 120.0);
    const double scale = std::clamp(m_scale * factor, 16.0, 65536.0);
    const QPointF at = event->position();
    m_origin = at - (at - m_origin) * (scale / m_scale);
    m_scale = scale;
    m_moved = true;
    Redraw();
}

void LayoutView::mousePressEvent(QMouseEvent* event) {
    m_pressAt = m_lastAt = event->position().toPoint();
    m_dragging = false;
}

void LayoutView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->buttons() & Qt::LeftButton) {
        if ((at - m_pressAt).manhattanLength() > 3)
            m_dragging = true;
        if (m_dragging) {
            m_origin += at - m_lastAt;
            m_lastAt = at;
            m_moved = true;
            Redraw();
            return;
        }
    }
    const auto face = FaceAt(event->position());
    if (face != m_hover) {
        m_hover = face;
        update();
    }
}

void LayoutView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragging || event->button() != Qt::LeftButton)
        return;
    if (const auto face = FaceAt(event->position()))
        emit surfaceClicked(face->first, face->second);
}

void LayoutView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F || event->key() == Qt::Key_Home) {
        Fit();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LayoutView::leaveEvent(QEvent*) {
    m_hover.reset();
    update();
}
