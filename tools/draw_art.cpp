// Draws every picture of the program into res/art/: the skin, the button
// faces, the about picture, the export panel and the icon. The pictures are
// kept as this program so that they stay editable and consistent. Their words
// are not drawn here: the window paints them over the pictures in the
// language it speaks (res/ArtWords.cpp), in the same lettering.
//   build/bin/draw_art res/art
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// One palette for the whole product: slate panels, brass rims, paint-orange accents.
const QColor kSlateDark(32, 38, 48), kSlate(52, 62, 76), kSlateLight(84, 98, 116);
const QColor kEdge(18, 22, 30), kBrass(196, 160, 92), kBrassDark(120, 92, 44);
const QColor kOrange(236, 132, 34), kMint(126, 214, 184), kInk(14, 17, 22), kPaper(232, 236, 240);
const QColor kKey(0, 0, 255); // cut away around the skin

QFont LabelFont(int pixelSize, bool bold = true) {
    QFont f("DejaVu Sans");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, pixelSize * 0.18);
    return f;
}

void Label(QPainter& p, const QRectF& box, const QString& text, int size, const QColor& colour,
           Qt::Alignment align = Qt::AlignCenter) {
    p.setFont(LabelFont(size));
    p.setPen(kEdge);
    p.drawText(box.translated(1, 1), align, text);
    p.setPen(colour);
    p.drawText(box, align, text);
}

// A raised panel: gradient body, light upper-left rim, dark lower-right rim.
void Panel(QPainter& p, const QPainterPath& shape, const QColor& top, const QColor& bottom) {
    const QRectF r = shape.boundingRect();
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, top);
    body.setColorAt(1, bottom);
    p.fillPath(shape, body);
    p.setPen(QPen(QColor(255, 255, 255, 40), 2));
    p.drawPath(shape.translated(0.5, 0.5));
    p.setPen(QPen(kEdge, 1.5));
    p.drawPath(shape);
}

// A sunken well that holds a control.
void Well(QPainter& p, const QRectF& r, const QColor& fill) {
    QPainterPath path;
    path.addRoundedRect(r, 4, 4);
    p.fillPath(path, fill);
    p.setPen(QPen(kEdge, 2));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawLine(r.bottomLeft() + QPointF(4, 1), r.bottomRight() + QPointF(-4, 1));
}

void Screw(QPainter& p, QPointF c) {
    QRadialGradient g(c - QPointF(1.5, 1.5), 4.5);
    g.setColorAt(0, kPaper);
    g.setColorAt(1, kSlateLight.darker(140));
    p.setPen(QPen(kEdge, 1));
    p.setBrush(g);
    p.drawEllipse(c, 3.5, 3.5);
    p.drawLine(c + QPointF(-2, 2), c + QPointF(2, -2));
    p.setBrush(Qt::NoBrush);
}

// A round metal dial with a brass rim, and a symbol drawn by the caller.
void Dial(QPainter& p, const QRectF& box, const QColor& face) {
    const QPointF c = box.center();
    const double r = std::min(box.width(), box.height()) / 2 - 1;
    QRadialGradient rim(c - QPointF(r / 3, r / 3), r * 1.4);
    rim.setColorAt(0, kBrass.lighter(130));
    rim.setColorAt(1, kBrassDark);
    p.setPen(QPen(kEdge, 1.5));
    p.setBrush(rim);
    p.drawEllipse(c, r, r);
    QRadialGradient inner(c - QPointF(r / 4, r / 4), r);
    inner.setColorAt(0, face.lighter(135));
    inner.setColorAt(1, face.darker(130));
    p.setBrush(inner);
    p.drawEllipse(c, r * 0.78, r * 0.78);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        p.drawLine(c + QPointF(std::cos(a), std::sin(a)) * r * 0.84,
                   c + QPointF(std::cos(a), std::sin(a)) * r * 0.95);
    }
    p.setBrush(Qt::NoBrush);
}

QImage Canvas(int w, int h, const QColor& fill) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

// Pictures that sit on another picture start from what lies under them, so
// their corners blend in.
QImage DialPicture(const QImage& under, QPoint at, int w, int h, const QColor& face,
                   const std::function<void(QPainter&, QPointF, double)>& symbol) {
    QImage image = under.copy(QRect(at, QSize(w, h))).convertToFormat(QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(1, 1, w - 2, h - 2);
    Dial(p, box, face);
    symbol(p, box.center(), std::min(w, h) / 2.0);
    return image;
}

void NoPureBlackOrKey(QImage& image, const QImage* silhouette) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool outside = silhouette && qRed(silhouette->pixel(x, y)) == 0;
            QRgb c = image.pixel(x, y);
            if (outside)
                c = kKey.rgb();
            else if ((c & 0xFFFFFF) == 0)
                c = qRgb(10, 12, 16);
            else if ((c & 0xFFFFFF) == 0x0000FF)
                c = qRgb(0, 0, 254);
            image.setPixel(x, y, c);
        }
}

QPainterPath Rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath Circle(QPointF c, double r) {
    QPainterPath path;
    path.addEllipse(c, r, r);
    return path;
}

// The main window's face, 561 x 477; only the top-left 560 x 475 show.
QImage Skin() {
    const QPainterPath left = Rounded({10, 30, 196, 352}, 18);
    const QPainterPath bar = Rounded({192, 6, 360, 96}, 20);
    const QPainterPath preview = Rounded({256, 88, 238, 336}, 16);
    const QPainterPath flattenLobe = Circle({512, 359}, 36);
    const QPainterPath loadLobe = Circle({108.5, 425}, 45);
    const QPainterPath openTab = Rounded({120, 400, 88, 50}, 14);
    const QPainterPath bridge = Rounded({180, 40, 40, 60}, 8);
    QPainterPath shape = left.united(bar)
                             .united(preview)
                             .united(flattenLobe)
                             .united(loadLobe)
                             .united(openTab)
                             .united(bridge);

    QImage silhouette = Canvas(561, 477, Qt::black);
    {
        QPainter p(&silhouette);
        p.fillPath(shape, Qt::white);
    }
    QImage skin = Canvas(561, 477, kKey);
    QPainter p(&skin);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setClipPath(shape);
    Panel(p, shape, kSlate, kSlateDark);
    // Panels drawn one over the other, back to front.
    Panel(p, bar, kSlateLight, kSlate);
    Panel(p, left, kSlate, kSlateDark);
    Panel(p, preview, kSlate.lighter(105), kSlateDark);
    Panel(p, loadLobe.united(openTab), kSlate, kSlateDark);
    Panel(p, flattenLobe, kSlate, kSlateDark);

    // A thin orange trim line along the bar.
    p.setPen(QPen(kOrange, 2));
    p.drawLine(QPointF(214, 96), QPointF(420, 96));

    Well(p, {22, 69, 170, 291}, kInk);
    Well(p, {227, 63, 178, 26}, kInk);

    // The product's name on a band across the preview panel.
    QLinearGradient band(0, 150, 0, 182);
    band.setColorAt(0, kOrange.lighter(115));
    band.setColorAt(1, kOrange.darker(120));
    p.fillRect(QRectF(258, 152, 234, 30), band);
    p.setPen(QPen(kEdge, 1.5));
    p.drawLine(QPointF(258, 152), QPointF(492, 152));
    p.drawLine(QPointF(258, 182), QPointF(492, 182));
    Label(p, {258, 152, 234, 30}, "GRIDWRIGHT", 19, kPaper);
    Well(p, {270, 197, 209, 211}, kInk);

    // Places of the close cross and the "?" dial at the bar's right end.
    p.setBrush(kSlateDark);
    p.setPen(QPen(kEdge, 1.5));
    p.drawEllipse(QPointF(476, 26), 17, 17);
    p.drawEllipse(QPointF(458, 70), 25, 22);
    p.setBrush(Qt::NoBrush);
    for (QPointF s : {QPointF(24, 44), QPointF(192, 44), QPointF(24, 366), QPointF(192, 366),
                      QPointF(206, 20), QPointF(536, 84), QPointF(270, 410), QPointF(420, 20)})
        Screw(p, s);
    p.end();
    NoPureBlackOrKey(skin, &silhouette);
    return skin;
}

void Cross(QPainter& p, QPointF c, double r) {
    p.setPen(QPen(kEdge, r * 0.42, Qt::SolidLine, Qt::RoundCap));
    const double a = r * 0.38;
    p.drawLine(c + QPointF(-a, -a), c + QPointF(a, a));
    p.drawLine(c + QPointF(-a, a), c + QPointF(a, -a));
    p.setPen(QPen(QColor(240, 240, 240), r * 0.22, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-a, -a), c + QPointF(a, a));
    p.drawLine(c + QPointF(-a, a), c + QPointF(a, -a));
}

void Glyph(QPainter& p, QPointF c, double r, const QString& text, double scale) {
    p.setFont(LabelFont(int(r * scale)));
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setPen(kEdge);
    p.drawText(box.translated(1, 1), Qt::AlignCenter, text);
    p.setPen(kPaper);
    p.drawText(box, Qt::AlignCenter, text);
}

// A small grid being pressed flat: the Flatten dial.
void GridGlyph(QPainter& p, QPointF c, double r) {
    const double s = r * 0.42;
    p.setPen(QPen(kPaper, 1.4));
    const QPolygonF quad({c + QPointF(-s, -s * 0.6), c + QPointF(s, -s * 0.6),
                          c + QPointF(s, s * 0.8), c + QPointF(-s, s * 0.8)});
    p.drawPolygon(quad);
    for (int i = 1; i < 3; ++i) {
        const double t = i / 3.0;
        p.drawLine(quad[0] + (quad[1] - quad[0]) * t, quad[3] + (quad[2] - quad[3]) * t);
        p.drawLine(quad[0] + (quad[3] - quad[0]) * t, quad[1] + (quad[2] - quad[1]) * t);
    }
    p.drawLine(quad[0], quad[2]);
}

// An open folder: the Load dial.
void FolderGlyph(QPainter& p, QPointF c, double r) {
    const double s = r * 0.4;
    QPainterPath back;
    back.moveTo(c + QPointF(-s, -s * 0.7));
    back.lineTo(c + QPointF(-s * 0.3, -s * 0.7));
    back.lineTo(c + QPointF(-s * 0.1, -s * 0.45));
    back.lineTo(c + QPointF(s, -s * 0.45));
    back.lineTo(c + QPointF(s, s * 0.7));
    back.lineTo(c + QPointF(-s, s * 0.7));
    back.closeSubpath();
    p.setPen(QPen(kEdge, 1.5));
    p.setBrush(kOrange.darker(115));
    p.drawPath(back);
    QPolygonF front({c + QPointF(-s * 0.8, -s * 0.1), c + QPointF(s * 1.2, -s * 0.1),
                     c + QPointF(s, s * 0.7), c + QPointF(-s, s * 0.7)});
    p.setBrush(kOrange);
    p.drawPolygon(front);
    p.setBrush(Qt::NoBrush);
}

QImage AboutPicture() {
    QImage image = Canvas(300, 285, kSlateDark);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Panel(p, Rounded({3, 3, 294, 279}, 16), kSlate, kSlateDark);
    // A layout wireframe as the emblem.
    p.fillRect(QRectF(18, 20, 92, 92), kInk);
    p.setPen(QPen(kMint, 1));
    for (int i = 0; i <= 4; ++i) {
        p.drawLine(QPointF(22 + i * 21, 24), QPointF(22 + i * 21, 108));
        p.drawLine(QPointF(22, 24 + i * 21), QPointF(106, 24 + i * 21));
        p.drawLine(QPointF(22 + i * 21, 24), QPointF(22, 24 + i * 21));
        p.drawLine(QPointF(106, 24 + i * 21), QPointF(22 + i * 21, 108));
    }
    Label(p, {122, 24, 170, 34}, "GRIDWRIGHT", 17, kPaper, Qt::AlignLeft | Qt::AlignVCenter);
    Label(p, {122, 58, 170, 20}, "Version 0.99B", 12, kOrange, Qt::AlignLeft | Qt::AlignVCenter);
    p.setBrush(kSlateDark);
    p.setPen(QPen(kEdge, 1.5));
    p.drawEllipse(QPointF(41.5, 243.5), 30, 28);
    p.end();
    NoPureBlackOrKey(image, nullptr);
    return image;
}

QImage ExportBackground() {
    QImage image = Canvas(336, 69, kSlateDark);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Camouflage: overlapping soft blobs in the product's slates.
    unsigned seed = 7;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % 1000 / 1000.0;
    };
    const QColor blobs[] = {kSlate, kSlateLight, kSlateDark.lighter(120), QColor(60, 74, 66)};
    for (int i = 0; i < 60; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(blobs[i % 4]);
        p.drawEllipse(QPointF(next() * 336, next() * 69), 8 + next() * 22, 5 + next() * 12);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kEdge, 2));
    p.drawRect(QRectF(1, 1, 334, 67));
    const int tops[] = {5, 26, 47};
    for (int i = 0; i < 3; ++i) {
        const QRectF pill(287, tops[i], 43, 16);
        QLinearGradient g(pill.topLeft(), pill.bottomLeft());
        g.setColorAt(0, i == 2 ? kSlateLight : kOrange.lighter(110));
        g.setColorAt(1, i == 2 ? kSlate : kOrange.darker(125));
        p.setPen(QPen(kEdge, 1.2));
        p.setBrush(g);
        p.drawRoundedRect(pill, 8, 8);
        p.setBrush(Qt::NoBrush);
    }
    p.end();
    NoPureBlackOrKey(image, nullptr);
    return image;
}

// The icon on a 16-unit grid: a slate tile, a dark well, and a template's
// triangle in the program's mint and orange. The raster icons and the
// scalable SVG are both drawn from these numbers.
struct IconLine {
    double x0, y0, x1, y1;
    QColor colour;
};
const IconLine kIconLines[] = {
    {3.5, 3.5, 12.5, 3.5, kMint},     {3.5, 3.5, 3.5, 12.5, kMint},
    {12.5, 3.5, 3.5, 12.5, kMint},    {12.5, 3.5, 12.5, 12.5, kOrange},
    {12.5, 12.5, 3.5, 12.5, kOrange},
};

QImage Icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double m = size / 16.0;
    p.setPen(QPen(kEdge, m));
    p.setBrush(kSlate);
    p.drawRoundedRect(QRectF(m, m, size - 2 * m, size - 2 * m), 3 * m, 3 * m);
    p.fillRect(QRectF(3 * m, 3 * m, 10 * m, 10 * m), kInk);
    for (const IconLine& l : kIconLines) {
        p.setPen(QPen(l.colour, std::max(1.0, m * 0.8)));
        p.drawLine(QPointF(l.x0 * m, l.y0 * m), QPointF(l.x1 * m, l.y1 * m));
    }
    return image;
}

QString IconSvg() {
    QString svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                  "viewBox=\"0 0 16 16\">\n";
    svg += QString("<rect x=\"1\" y=\"1\" width=\"14\" height=\"14\" rx=\"3\" fill=\"%1\" "
                   "stroke=\"%2\" stroke-width=\"1\"/>\n")
               .arg(kSlate.name(), kEdge.name());
    svg += QString("<rect x=\"3\" y=\"3\" width=\"10\" height=\"10\" fill=\"%1\"/>\n")
               .arg(kInk.name());
    for (const IconLine& l : kIconLines)
        svg += QString("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\" "
                       "stroke-width=\"0.8\" stroke-linecap=\"square\"/>\n")
                   .arg(l.x0)
                   .arg(l.y0)
                   .arg(l.x1)
                   .arg(l.y1)
                   .arg(l.colour.name());
    return svg + "</svg>\n";
}

// The desktop's icons, named for the hicolor theme: NAME-SIZE.png and NAME.svg.
int WriteDesktopIcons(const QString& folder, const QString& name) {
    bool ok = true;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QString("%1/%2-%3.png").arg(folder, name).arg(size);
        ok &= Icon(size).save(path);
    }
    QFile svg(QString("%1/%2.svg").arg(folder, name));
    ok &= svg.open(QIODevice::WriteOnly) && svg.write(IconSvg().toUtf8()) > 0;
    return ok ? 0 : 1;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + "/" + name;
    const bool ok = image
                        .convertToFormat(image.hasAlphaChannel() && name.startsWith("128")
                                             ? QImage::Format_ARGB32
                                             : QImage::Format_RGB32)
                        .save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc == 4 && QString(argv[1]) == "--icons")
        return WriteDesktopIcons(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_art FOLDER\n       draw_art --icons FOLDER NAME\n");
        return 2;
    }
    const QString out = argv[1];
    const QImage skin = Skin(), about = AboutPicture();
    bool ok = Save(skin, out, "skin.png");
    ok &= Save(DialPicture(skin, {461, 11}, 30, 30, QColor(196, 40, 36), Cross), out, "close.png");
    ok &= Save(DialPicture(skin, {435, 50}, 46, 40, kSlateLight,
                           [](QPainter& p, QPointF c, double r) { Glyph(p, c, r, "?", 0.9); }),
               out, "about-dial.png");
    ok &= Save(DialPicture(about, {12, 216}, 59, 55, kSlateLight,
                           [](QPainter& p, QPointF c, double r) { Glyph(p, c, r, "OK", 0.5); }),
               out, "ok-dial.png");
    ok &=
        Save(DialPicture(skin, {75, 393}, 67, 64, kSlateLight, FolderGlyph), out, "open-dial.png");
    ok &= Save(DialPicture(skin, {488, 335}, 49, 48, kSlateLight, GridGlyph), out,
               "flatten-dial.png");
    ok &= Save(ExportBackground(), out, "export-background.png");
    ok &= Save(about, out, "about.png");
    for (int size : {16, 32, 48, 128})
        ok &= Save(Icon(size), out, QStringLiteral("icon-%1.png").arg(size));
    return ok ? 0 : 1;
}
