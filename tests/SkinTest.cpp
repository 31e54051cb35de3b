#include "app/WindowShape/Outline.h"
#include "app/WindowShape/WindowShape.h"
#include "platform/Resources.h"
#include "res/Layouts.h"
#include "tests/GuiHarness.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int64_t K = kKeyColour, I = kInvalidColour, C = 0x123456;

// Outline rectangles of a small picture given column by column as rows.
std::vector<std::array<int, 4>> BorderOf(const std::vector<std::vector<int64_t>>& rows,
                                         bool* started = nullptr) {
    std::vector<std::array<int, 4>> rects;
    const bool any = BuildOutline(
        int(rows[0].size()), int(rows.size()),
        [&](int x, int y) { return rows[size_t(y)][size_t(x)]; },
        [&](const OutlineRect& r) {
            rects.push_back({r.left, r.top, r.right, r.bottom});
        });
    if (started)
        *started = any;
    return rects;
}

using Rects = std::vector<std::array<int, 4>>;

} // namespace

TEST(SkinOutline, OneHalfOpenRectanglePerRunColumnByColumn) {
    // Touches the top row in column 0, reaches the last row in column 1, and
    // column 2 holds a single pixel between key pixels.
    bool started = false;
    EXPECT_EQ(BorderOf({{C, K, K}, {C, C, C}, {K, C, K}, {K, C, K}}, &started),
              (Rects{{0, 0, 1, 2}, {1, 1, 2, 4}, {2, 1, 3, 2}}));
    EXPECT_TRUE(started);
    EXPECT_EQ(BorderOf({{C, K}, {K, K}, {C, K}}), (Rects{{0, 0, 1, 1}, {0, 2, 1, 3}}));
}

TEST(SkinOutline, AllKeyGivesNoOutlineAndUnreadablePixelsStay) {
    bool started = true;
    EXPECT_TRUE(BorderOf({{K, K}, {K, K}}, &started).empty());
    EXPECT_FALSE(started);
    // Only an exact match is cut: one step off pure blue stays.
    EXPECT_EQ(BorderOf({{K, I}, {0x0000FE, K}}, &started), (Rects{{0, 1, 1, 2}, {1, 0, 2, 1}}));
    EXPECT_TRUE(started);
}

TEST(SkinOutline, OutlineOfAPictureReadsPastItsEdgeAsUnreadable) {
    QImage drawn(3, 2, QImage::Format_RGB32);
    drawn.fill(qRgb(0, 0, 255));
    drawn.setPixel(1, 1, qRgb(1, 2, 253));
    bool started = false;
    // The window is wider than the picture: the column beyond it stays whole.
    const QRegion outline = OutlineOf(drawn, 4, 2, &started);
    EXPECT_TRUE(started);
    EXPECT_EQ(outline, QRegion(1, 1, 1, 1).united(QRegion(3, 0, 1, 2)));
}

TEST(DrawTransparentBitmap, LeavesOutExactlyTheTransparentColour) {
    QImage block(4, 2, QImage::Format_RGB32);
    block.fill(qRgb(10, 20, 30));
    block.setPixel(1, 0, qRgb(0, 0, 0));
    QImage destination(6, 4, QImage::Format_RGB32);
    destination.fill(qRgb(200, 0, 0));
    {
        QPainter p(&destination);
        DrawTransparentBitmap(p, 1, 1, 4, 2, block, 0, 0, qRgb(0, 0, 0));
    }
    EXPECT_EQ(destination.pixel(2, 1), qRgb(200, 0, 0)); // transparent pixel
    EXPECT_EQ(destination.pixel(1, 1), qRgb(10, 20, 30));
    EXPECT_EQ(destination.pixel(0, 0), qRgb(200, 0, 0)); // outside the block

    // A colour that does not occur copies the whole block.
    QImage all = destination;
    {
        QPainter p(&all);
        DrawTransparentBitmap(p, 0, 0, 4, 2, block, 0, 0, qRgb(1, 2, 3));
    }
    EXPECT_EQ(all.copy(0, 0, 4, 2), block);
    // A block made only of the transparent colour leaves the destination alone.
    QImage none = destination;
    {
        QPainter p(&none);
        DrawTransparentBitmap(p, 0, 0, 1, 1, block, 1, 0, qRgb(0, 0, 0));
    }
    EXPECT_EQ(none, destination);
}

TEST(Skin, TheSkinCoversTheWindowAndHasNoBlack) {
    const QImage skin = LoadPicture("skin");
    ASSERT_GE(skin.width(), kMainWindowSize.width());
    ASSERT_GE(skin.height(), kMainWindowSize.height());
    int black = 0;
    for (int y = 0; y < kMainWindowSize.height(); ++y)
        for (int x = 0; x < kMainWindowSize.width(); ++x)
            black += (skin.pixel(x, y) & 0xFFFFFF) == 0;
    EXPECT_EQ(black, 0);
}

TEST(Skin, TheSuppliedSkinsOutlineCutsAwayExactlyItsBackground) {
    const QImage skin = LoadPicture("skin").convertToFormat(QImage::Format_RGB32);
    bool started = false;
    const QRegion outline =
        OutlineOf(skin, kMainWindowSize.width(), kMainWindowSize.height(), &started);
    ASSERT_TRUE(started);
    const QRect bounds = outline.boundingRect();
    EXPECT_GE(bounds.left(), 7);
    EXPECT_LE(bounds.right(), 553);
    EXPECT_GE(bounds.top(), 5);
    EXPECT_LE(bounds.bottom(), 471);
    int cut = 0;
    for (int y = 0; y < kMainWindowSize.height(); ++y)
        for (int x = 0; x < kMainWindowSize.width(); ++x) {
            const bool background = (skin.pixel(x, y) & 0xFFFFFF) == 0x0000FF;
            ASSERT_EQ(outline.contains(QPoint(x, y)), !background) << x << "," << y;
            cut += background;
        }
    EXPECT_GT(cut, 50000);
    // The button pictures lie inside the shape.
    for (const ControlPlacement& c : MainWindowLayout().controls) {
        if (c.kind == ControlKind::Picture) {
            EXPECT_TRUE(outline.contains(QRect(c.rect.topLeft(), LoadPicture(c.picture).size())))
                << c.picture;
        }
    }
}

TEST(Skin, TheFirstPaintShapesTheWindowOnceAndLaterPaintsOnlyDraw) {
    auto window = StartMainWindow();
    window->repaint();
    QApplication::processEvents();
    const QRegion outline = window->windowOutline();
    EXPECT_FALSE(outline.isEmpty());
    EXPECT_EQ(window->mask(), outline);
    window->move(200, 100);
    window->repaint();
    EXPECT_EQ(window->mask(), outline); // moving does not change the outline
    const QImage face = window->grab().toImage();
    EXPECT_EQ(face.pixel(100, 200), LoadPicture("skin").pixel(100, 200) | 0xFF000000);
}
