#pragma once
// The layout, large: the chosen surfaces drawn with the template's own
// options over their texture, zoomed with the wheel about the pointer,
// panned by dragging, fitted with F. The face under the pointer is
// highlighted; clicking one chooses its surface.
#include "render/TemplateStyle.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

struct Surface;
struct TextureImage;

class LayoutView : public QWidget {
    Q_OBJECT

  public:
    explicit LayoutView(QWidget* parent = nullptr);

    // What to draw: the surfaces (with their place in the model), the style,
    // and the texture under them (null: none). The view stays where it is.
    void SetLayout(std::vector<const Surface*> surfaces, std::vector<int> surfaceIndices,
                   const TemplateStyle& style, std::shared_ptr<const TextureImage> texture);
    // Highlights one face (surface index in the model, triangle); -1: none.
    void SetHighlight(int surface, int triangle);
    void Fit();
    // Where (u, v) = (0, 0) lands, and pixels per unit.
    QPointF origin() const { return m_origin; }
    double scale() const { return m_scale; }
    // The face under a point of the view: (surface index, triangle), if any.
    std::optional<std::pair<int, int>> FaceAt(QPointF point) const;

  signals:
    void surfaceClicked(int surface, int triangle);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void Redraw();
    double Aspect() const; // width over height of the unit square on screen
    std::vector<const Surface*> m_surfaces;
    std::vector<int> m_indices;
    TemplateStyle m_style;
    std::shared_ptr<const TextureImage> m_texture;
    QImage m_picture; // the template as drawn at the view's size
    QPointF m_origin;
    double m_scale = 256;
    bool m_moved = false; // zoomed or panned since the last fit
    std::optional<std::pair<int, int>> m_hover, m_highlight;
    QPoint m_pressAt, m_lastAt;
    bool m_dragging = false;
};
