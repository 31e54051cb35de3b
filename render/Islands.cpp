#include "render/Islands.h"

#include "render/OverlapCoverage.h"
#include "render/SurfacePoints.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <set>
#include <tuple>

namespace {

int Root(std::vector<int>& parent, int i) {
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// Hues spread by the golden angle, in two saturations and three values:
// consecutive candidates differ clearly. Past those, every 24-bit colour once
// (an odd multiplier is a bijection modulo 2^24), so candidates never run out.
constexpr int kHueCandidates = 4096;
Rgba Candidate(int k) {
    if (k >= kHueCandidates) {
        const uint32_t c = (uint32_t(k - kHueCandidates) * 0x9E3779u) & 0xFFFFFFu;
        return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
    }
    const double h = std::fmod(k * 0.618033988749895, 1.0) * 6.0;
    const double s = k % 2 ? 0.55 : 0.85;
    const double v = (k / 2) % 3 == 0 ? 0.95 : (k / 2) % 3 == 1 ? 0.75 : 0.55;
    const int sector = int(h) % 6;
    const double f = h - std::floor(h);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    case 5:
        r = v, g = p, b = q;
        break;
    default:
        break;
    }
    auto byte = [](double c) { return uint8_t(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
    return {byte(r), byte(g), byte(b), 255};
}

int Distance2(const Rgba& a, const Rgba& b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

// Every edge of every face as (its two layout points, smaller first; the
// triangle and corner).
struct Side {
    uint64_t key;
    uint32_t place; // triangle * 3 + corner
};

// Island borders are worked out in whole millionths of a texture unit: the
// reader rounds coordinates to six decimals, so these are the coordinates
// exactly, and which side of an edge a face lies on, or whether edges
// overlap, is decided without rounding. Coordinates are clamped within 2^52
// (four billion units: no layout reaches there) so that every product below
// fits 128 bits.
using Wide = __int128;

struct Point {
    int64_t x = 0, y = 0;
};

int64_t Millionths(double c) {
    if (!std::isfinite(c))
        return 0;
    return std::llround(std::clamp(c * 1e6, -4e15, 4e15));
}

Wide Cross(const Point& o, const Point& a, const Point& b) {
    return Wide(a.x - o.x) * Wide(b.y - o.y) - Wide(a.y - o.y) * Wide(b.x - o.x);
}

bool Before(const Point& a, const Point& b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
}

// The line an edge of an island lies on, exactly: its direction reduced
// (pointing from the smaller end), and which of the parallel lines. Ordered
// by a mix of those first, which is all most comparisons need.
struct Line {
    uint64_t mix = 0;
    int island = 0;
    int64_t dx = 0, dy = 0;
    Wide offset = 0;
    bool operator<(const Line& o) const {
        return std::tie(mix, island, dx, dy, offset) <
               std::tie(o.mix, o.island, o.dx, o.dy, o.offset);
    }
    bool operator==(const Line& o) const {
        return mix == o.mix && island == o.island && dx == o.dx && dy == o.dy && offset == o.offset;
    }
};

uint64_t Mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15u + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDu;
}

// a is before b.
Line LineOf(int island, const Point& a, const Point& b) {
    const int64_t g = std::gcd(b.x - a.x, b.y - a.y);
    const int64_t dx = (b.x - a.x) / g, dy = (b.y - a.y) / g;
    const Wide offset = Wide(dx) * a.y - Wide(dy) * a.x;
    const uint64_t mix =
        Mix(Mix(Mix(Mix(uint64_t(island), uint64_t(dx)), uint64_t(dy)), uint64_t(offset)),
            uint64_t(offset >> 64));
    return {mix, island, dx, dy, offset};
}

// Which sides of an edge are covered, looking from its smaller end.
constexpr int kRight = 1, kLeft = 2, kBoth = kRight | kLeft;

// An edge on its line: one face's, covering one side, or the edge where
// faces meet, covering both. Edges of one island on one line are compared
// by where they start and end along it, so an edge that meets two shorter
// ones end to end (a T-junction) is matched with both.
struct Run {
    Line line;
    Wide from, to; // a and b along the line; from < to
    Point a, b;    // a is before b
    int cover;
    uint32_t place; // triangle * 3 + corner
    bool forward;   // the triangle's edge runs from a to b
};

// A stretch of a line with the island on one side only, drawn as part of
// the run `owner`.
struct Piece {
    size_t owner;
    Wide from, to;
    Point a, b;
};

struct Event {
    Wide t;
    Point p;
    size_t run;
    bool start;
};

// The stretches of runs[i, j) (one island, one line) with the island's
// faces on one side of the line and none on the other. Each is drawn once,
// along the longest one-sided run over it (the first face's, among equals).
void SweepLine(const std::vector<Run>& runs, size_t i, size_t j, std::vector<Event>& events,
               std::vector<size_t>& active, std::vector<size_t>& slot, std::vector<Piece>& pieces) {
    const Run& first = runs[i];
    if (j - i == 1) {
        if (first.cover != kBoth)
            pieces.push_back({i, first.from, first.to, first.a, first.b});
        return;
    }
    const Run& second = runs[i + 1];
    if (j - i == 2 && first.from == second.from && first.to == second.to) {
        // The common case: faces stacked on one side of one edge.
        if ((first.cover | second.cover) != kBoth)
            pieces.push_back({i, first.from, first.to, first.a, first.b});
        return;
    }
    events.clear();
    for (size_t k = i; k < j; ++k) {
        events.push_back({runs[k].from, runs[k].a, k, true});
        events.push_back({runs[k].to, runs[k].b, k, false});
    }
    std::sort(events.begin(), events.end(),
              [](const Event& x, const Event& y) { return x.t < y.t; });
    active.clear();
    slot.resize(j - i);
    int count[2] = {0, 0}; // runs over the right side, over the left
    for (size_t e = 0; e < events.size();) {
        const Wide t = events[e].t;
        const Point p = events[e].p;
        for (; e < events.size() && events[e].t == t; ++e) {
            const size_t k = events[e].run;
            const int step = events[e].start ? 1 : -1;
            count[0] += runs[k].cover & kRight ? step : 0;
            count[1] += runs[k].cover & kLeft ? step : 0;
            if (events[e].start) {
                slot[k - i] = active.size();
                active.push_back(k);
            } else {
                const size_t last = active.back();
                active[slot[k - i]] = last;
                slot[last - i] = slot[k - i];
                active.pop_back();
            }
        }
        if (e == events.size() || (count[0] > 0) == (count[1] > 0))
            continue;
        const int covered = count[1] > 0 ? kLeft : kRight;
        size_t owner = j;
        for (const size_t k : active) {
            if (runs[k].cover != covered)
                continue;
            const Wide length = runs[k].to - runs[k].from;
            if (owner == j || length > runs[owner].to - runs[owner].from ||
                (length == runs[owner].to - runs[owner].from && runs[k].place < runs[owner].place))
                owner = k;
        }
        pieces.push_back({owner, t, events[e].t, p, events[e].p});
    }
}

// The corners of a face doubled, so that the middle of any stretch between
// two points is a whole point too, and their bounding box.
struct DoubledFace {
    Point c[3];
    Point low, high;
};

// Whether p lies strictly inside the face (on an edge is not inside).
bool StrictlyInside(const DoubledFace& f, const Point& p) {
    if (p.x <= f.low.x || p.x >= f.high.x || p.y <= f.low.y || p.y >= f.high.y)
        return false;
    const Wide a = Cross(f.c[0], f.c[1], p), b = Cross(f.c[1], f.c[2], p),
               c = Cross(f.c[2], f.c[0], p);
    return (a > 0 && b > 0 && c > 0) || (a < 0 && b < 0 && c < 0);
}

// Which of the points (the middles of the stretches to judge, each of an
// island) lie strictly inside a face of their own island. The points are
// put in a grid of cells; each face looks only at the cells its box covers,
// so a surface costs about one look per face. Past `budget` cells and points
// looked at, the remaining points are taken as outside: a layout of thousands of faces all
// over one another is nobody's, and must not stall the drawing.
// faceOf(k, f) makes face k and returns its island, or -1 for none to look
// at: made as they are looked at, since a sculpt's faces held whole would
// take 80 bytes each.
template <typename FaceOf>
std::vector<bool> InsideOwnIsland(const std::vector<Point>& points, const std::vector<int>& islands,
                                  size_t faces, FaceOf&& faceOf, size_t budget) {
    std::vector<bool> inside(points.size(), false);
    if (points.empty())
        return inside;
    Point low = points[0], high = points[0];
    for (const Point& p : points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y)};
    }
    // About one point a cell: with fewer cells, each face of a sculpt would
    // look at more points the more it has.
    const int side = std::clamp(int(std::sqrt(double(points.size()))), 1, 1024);
    // Never decreasing with the coordinate, so that a point in a face's box
    // falls in one of the box's cells.
    auto cellOf = [side](int64_t at, int64_t from, int64_t to) {
        const double f = double(at - from) / (double(to - from) + 1.0);
        return std::clamp(int(f * side), 0, side - 1);
    };
    std::vector<uint32_t> first(size_t(side) * size_t(side) + 1, 0), order(points.size());
    std::vector<uint32_t> cell(points.size());
    for (size_t n = 0; n < points.size(); ++n) {
        cell[n] = uint32_t(cellOf(points[n].y, low.y, high.y) * side +
                           cellOf(points[n].x, low.x, high.x));
        ++first[cell[n] + 1];
    }
    for (size_t c = 1; c < first.size(); ++c)
        first[c] += first[c - 1];
    {
        std::vector<uint32_t> next(first.begin(), first.end() - 1);
        for (size_t n = 0; n < points.size(); ++n)
            order[next[cell[n]]++] = uint32_t(n);
    }
    size_t tests = 0;
    DoubledFace f;
    for (size_t k = 0; k < faces && tests < budget; ++k) {
        const int island = faceOf(k, f);
        if (island < 0 || f.high.x < low.x || f.low.x > high.x || f.high.y < low.y ||
            f.low.y > high.y)
            continue;
        const int x0 = cellOf(std::max(f.low.x, low.x), low.x, high.x),
                  x1 = cellOf(std::min(f.high.x, high.x), low.x, high.x),
                  y0 = cellOf(std::max(f.low.y, low.y), low.y, high.y),
                  y1 = cellOf(std::min(f.high.y, high.y), low.y, high.y);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const size_t c = size_t(y) * size_t(side) + size_t(x);
                ++tests;
                for (uint32_t i = first[c]; i < first[c + 1]; ++i) {
                    const uint32_t n = order[i];
                    ++tests;
                    if (!inside[n] && islands[n] == island)
                        inside[n] = StrictlyInside(f, points[n]);
                }
            }
    }
    return inside;
}

// Cells and point tests a surface may take: a few for each face of a real
// layout (the full-capacity mesh takes a tenth of it), and more with more
// faces, so that a sculpt's faces late in its list are judged as a small
// model's are.
constexpr size_t kInsideTestBudget = size_t(1) << 18;
constexpr size_t kInsideTestsPerFace = 32;

// The border of an island is the boundary of the area its faces cover in the
// layout, however many faces are stacked there: mirrored halves of a model
// often share one layout, every face of it lying exactly on another. So a
// stretch of an edge is a border when, along its line, the island's faces lie
// on one side of it and none on the other (two faces meeting there lie on
// both sides; stacked copies on the same one), and no face of the island
// covers it from inside (a partly overlapping copy). Faces with no area cover
// nothing and have no border. `sides` are sorted by their layout points.
std::vector<TriangleEdge> IslandBorders(const Surface& surface, const std::vector<int>& islandOf,
                                        int islandCount, const std::vector<Side>& sides) {
    std::vector<TriangleEdge> borders;
    const size_t vertices = surface.u.size(), triangles = surface.triangles.size();
    std::vector<Point> at(vertices);
    for (size_t i = 0; i < vertices; ++i)
        at[i] = {Millionths(surface.u[i]), Millionths(surface.v[i])};
    // Each face's corners, read once (an index out of the surface: no face).
    std::vector<std::array<uint32_t, 3>> corners(triangles, {0, 0, 0});
    for (size_t k = 0; k < triangles; ++k)
        if (islandOf[k] >= 0) {
            const Triangle t = surface.triangles[k];
            corners[k] = {uint32_t(t.a), uint32_t(t.b), uint32_t(t.c)};
        }
    auto corner = [&](uint32_t place, int step) {
        return size_t(corners[place / 3][(place % 3 + uint32_t(step)) % 3]);
    };
    std::vector<uint8_t> hasArea(triangles, 0);
    for (size_t k = 0; k < triangles; ++k)
        if (islandOf[k] >= 0) {
            const uint32_t place = uint32_t(k * 3);
            hasArea[k] =
                Cross(at[corner(place, 0)], at[corner(place, 1)], at[corner(place, 2)]) != 0;
        }
    // The edges of one face, or stacked faces on one side, are looked at along
    // their lines; edges where faces meet from both sides are inside, and
    // matter only where they lie along such a line.
    std::vector<Run> runs;
    std::vector<Line> lines;     // of the runs
    std::vector<size_t> meeting; // where each group of sides covering both ways starts
    std::vector<bool> open(size_t(islandCount), false);
    for (size_t i = 0; i < sides.size();) {
        size_t j = i + 1;
        while (j < sides.size() && sides[j].key == sides[i].key)
            ++j;
        const size_t firstRun = runs.size();
        int cover = 0;
        for (size_t k = i; k < j; ++k) {
            const uint32_t place = sides[k].place;
            if (!hasArea[place / 3])
                continue;
            Point a = at[corner(place, 0)], b = at[corner(place, 1)];
            const bool forward = Before(a, b);
            if (!forward)
                std::swap(a, b);
            const int side = Cross(a, b, at[corner(place, 2)]) > 0 ? kLeft : kRight;
            cover |= side;
            runs.push_back({{}, 0, 0, a, b, side, place, forward});
        }
        if (cover == kBoth) {
            runs.resize(firstRun);
            meeting.push_back(i);
        } else if (cover != 0) {
            const Run& r = runs[firstRun];
            const int island = islandOf[r.place / 3];
            const Line line = LineOf(island, r.a, r.b);
            const Wide from = Wide(line.dx) * r.a.x + Wide(line.dy) * r.a.y,
                       to = Wide(line.dx) * r.b.x + Wide(line.dy) * r.b.y;
            for (size_t n = firstRun; n < runs.size(); ++n) {
                runs[n].line = line;
                runs[n].from = from;
                runs[n].to = to;
            }
            lines.push_back(line);
            open[size_t(island)] = true;
        }
        i = j;
    }
    if (runs.empty())
        return borders;
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    for (const size_t i : meeting) {
        size_t k = i;
        while (!hasArea[sides[k].place / 3])
            ++k;
        const uint32_t place = sides[k].place;
        const int island = islandOf[place / 3];
        if (!open[size_t(island)])
            continue;
        Point a = at[corner(place, 0)], b = at[corner(place, 1)];
        if (!Before(a, b))
            std::swap(a, b);
        const Line line = LineOf(island, a, b);
        if (!std::binary_search(lines.begin(), lines.end(), line))
            continue;
        runs.push_back({line, Wide(line.dx) * a.x + Wide(line.dy) * a.y,
                        Wide(line.dx) * b.x + Wide(line.dy) * b.y, a, b, kBoth, place, true});
    }
    // Runs line by line (each line's number found once per run, then a
    // counting sort), and along each line by where they start: longer first,
    // then the first face's.
    std::vector<uint32_t> lineOf(runs.size()), start(lines.size() + 1, 0);
    for (size_t n = 0; n < runs.size(); ++n) {
        if (n > 0 && runs[n].line == runs[n - 1].line) {
            lineOf[n] = lineOf[n - 1];
        } else {
            lineOf[n] = uint32_t(std::lower_bound(lines.begin(), lines.end(), runs[n].line) -
                                 lines.begin());
        }
        ++start[lineOf[n] + 1];
    }
    for (size_t n = 1; n < start.size(); ++n)
        start[n] += start[n - 1];
    std::vector<Run> byLine;
    {
        std::vector<uint32_t> next(start.begin(), start.end() - 1), order(runs.size());
        for (size_t n = 0; n < runs.size(); ++n)
            order[next[lineOf[n]]++] = uint32_t(n);
        byLine.reserve(runs.size());
        for (const uint32_t n : order)
            byLine.push_back(runs[n]);
    }
    std::vector<Piece> pieces;
    {
        std::vector<Event> events;
        std::vector<size_t> active, slot;
        for (size_t l = 0; l < lines.size(); ++l) {
            const auto first = byLine.begin() + start[l], last = byLine.begin() + start[l + 1];
            if (last - first > 1)
                std::sort(first, last, [](const Run& x, const Run& y) {
                    return std::tie(x.from, y.to, x.place) < std::tie(y.from, x.to, y.place);
                });
            SweepLine(byLine, start[l], start[l + 1], events, active, slot, pieces);
        }
    }
    runs = std::move(byLine);
    if (pieces.empty())
        return borders;
    // The faces of the islands with stretches to judge, for the inside test.
    auto faceOf = [&](size_t k, DoubledFace& f) {
        if (!hasArea[k] || !open[size_t(islandOf[k])])
            return -1;
        for (int n = 0; n < 3; ++n) {
            const Point& p = at[corner(uint32_t(k * 3), n)];
            f.c[n] = {2 * p.x, 2 * p.y};
        }
        f.low = {std::min({f.c[0].x, f.c[1].x, f.c[2].x}),
                 std::min({f.c[0].y, f.c[1].y, f.c[2].y})};
        f.high = {std::max({f.c[0].x, f.c[1].x, f.c[2].x}),
                  std::max({f.c[0].y, f.c[1].y, f.c[2].y})};
        return islandOf[k];
    };
    std::vector<Point> middles;
    std::vector<int> middleIsland;
    for (const Piece& piece : pieces) {
        middles.push_back({piece.a.x + piece.b.x, piece.a.y + piece.b.y});
        middleIsland.push_back(runs[piece.owner].line.island);
    }
    const std::vector<bool> covered =
        InsideOwnIsland(middles, middleIsland, triangles, faceOf,
                        std::max(kInsideTestBudget, kInsideTestsPerFace * triangles));
    const Piece* last = nullptr;
    for (size_t n = 0; n < pieces.size(); ++n) {
        const Piece& piece = pieces[n];
        const Run& r = runs[piece.owner];
        const bool inside = covered[n];
        if (inside)
            continue;
        const Wide length = r.to - r.from;
        auto along = [&](Wide t) { return double(t) / double(length); };
        TriangleEdge edge{int(r.place / 3), int(r.place % 3)};
        if (piece.from != r.from || piece.to != r.to) {
            edge.from = r.forward ? along(piece.from - r.from) : along(r.to - piece.to);
            edge.to = r.forward ? along(piece.to - r.from) : along(r.to - piece.from);
        }
        // Stretches of one edge end to end are one line.
        if (last && last->owner == piece.owner && last->to == piece.from) {
            TriangleEdge& previous = borders.back();
            if (r.forward)
                previous.to = edge.to;
            else
                previous.from = edge.from;
        } else {
            borders.push_back(edge);
        }
        last = &piece;
    }
    std::sort(borders.begin(), borders.end(), [](const TriangleEdge& a, const TriangleEdge& b) {
        return std::tie(a.triangle, a.corner, a.from) < std::tie(b.triangle, b.corner, b.from);
    });
    return borders;
}

} // namespace

SurfaceIslands FindIslands(const Surface& surface) {
    SurfaceIslands result;
    const size_t vertices = surface.u.size(), triangles = surface.triangles.size();
    result.islandOf.assign(triangles, -1);
    const std::vector<uint32_t> point = LayoutPoints(surface);
    std::vector<Side> sides;
    sides.reserve(triangles * 3);
    std::vector<bool> valid(triangles, false);
    for (size_t k = 0; k < triangles; ++k) {
        const Triangle t = surface.triangles[k];
        const int32_t c[3] = {t.a, t.b, t.c};
        if (std::any_of(c, c + 3, [&](int32_t i) { return i < 0 || size_t(i) >= vertices; }))
            continue;
        valid[k] = true;
        for (int e = 0; e < 3; ++e) {
            uint64_t p = point[size_t(c[e])], q = point[size_t(c[(e + 1) % 3])];
            if (q < p)
                std::swap(p, q);
            sides.push_back({p << 32 | q, uint32_t(k * 3 + size_t(e))});
        }
    }
    // By key, and along each key in the faces' order (they were listed so).
    const size_t points =
        point.empty() ? 0 : size_t(*std::max_element(point.begin(), point.end())) + 1;
    SortByPointPair(sides, points, [](const Side& s) { return s.key; });
    std::vector<int> parent(triangles);
    std::iota(parent.begin(), parent.end(), 0);
    for (size_t i = 0; i < sides.size();) {
        size_t j = i + 1;
        while (j < sides.size() && sides[j].key == sides[i].key)
            ++j;
        for (size_t k = i + 1; k < j; ++k) {
            const int a = Root(parent, int(sides[i].place / 3)),
                      b = Root(parent, int(sides[k].place / 3));
            if (a != b)
                parent[size_t(std::max(a, b))] = std::min(a, b);
        }
        i = j;
    }
    // Islands numbered in the order of their first face.
    std::vector<int> number(triangles, -1);
    for (size_t k = 0; k < triangles; ++k) {
        if (!valid[k])
            continue;
        const int root = Root(parent, int(k));
        if (number[size_t(root)] < 0)
            number[size_t(root)] = result.count++;
        result.islandOf[k] = number[size_t(root)];
    }
    result.borders = IslandBorders(surface, result.islandOf, result.count, sides);
    return result;
}

std::vector<int32_t> IslandLabels(const std::vector<const Surface*>& records,
                                  const std::vector<SurfaceIslands>& islands, WrapMode wrap,
                                  const LayoutMapping& m, int width, int height) {
    std::vector<int32_t> label(size_t(width) * size_t(height), -1);
    std::vector<int> first(records.size(), 0);
    for (size_t s = 1; s < records.size(); ++s)
        first[s] = first[s - 1] + islands[s - 1].count;
    // Band by band, so that the rows being painted stay in the cache: every
    // face of a full model covers the whole template, and painting it all at
    // once waits on memory.
    const int bandRows = std::max(1, (1 << 20) / (4 * std::max(1, width)));
    for (int band = 0; band < height; band += bandRows) {
        const int end = std::min(height, band + bandRows);
        ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
            const int island = islands[size_t(t.surface)].islandOf[size_t(t.triangle)];
            if (island < 0)
                return;
            double x[3], y[3];
            for (int k = 0; k < 3; ++k) {
                x[k] = m.scaleX * t.u[k] + m.originX;
                y[k] = m.scaleY * t.v[k] + m.originY;
            }
            // Past the band by more than a row: no centre of it inside.
            if (std::max({y[0], y[1], y[2]}) < band - 1 || std::min({y[0], y[1], y[2]}) > end + 1)
                return;
            FillCovered(x, y, width, band, end, label.data(), first[size_t(t.surface)] + island);
        });
    }
    return label;
}

std::vector<Rgba> IslandColours(const std::vector<int32_t>& label, int width, int height, int total,
                                const std::optional<Rgba>& background) {
    // Which islands touch: pixels side by side that show different islands.
    std::vector<std::pair<int, int>> pairs;
    auto meet = [&](int32_t a, int32_t b) {
        if (a == b || a < 0 || b < 0)
            return;
        const std::pair<int, int> pair{std::min(a, b), std::max(a, b)};
        if (pairs.empty() || pairs.back() != pair) // runs along a border repeat
            pairs.push_back(pair);
    };
    for (int y = 0; y < height; ++y) {
        const int32_t* row = label.data() + size_t(y) * size_t(width);
        for (int x = 0; x + 1 < width; ++x)
            meet(row[x], row[x + 1]);
        if (y + 1 < height)
            for (int x = 0; x < width; ++x)
                meet(row[x], row[x + size_t(width)]);
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    std::vector<std::vector<int>> touching(static_cast<size_t>(total));
    for (const auto& [a, b] : pairs) {
        touching[size_t(a)].push_back(b);
        touching[size_t(b)].push_back(a);
    }
    // Each island takes the first unused candidate far enough from the
    // background and from the colours its neighbours already have; failing
    // that within a while, the farthest of those it tried.
    constexpr int kFar2 = 110 * 110, kTries = 96;
    std::vector<Rgba> colour(static_cast<size_t>(total));
    std::set<uint32_t> used;
    auto code = [](const Rgba& c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; };
    int next = 0;
    // More islands than colours (a file made to be so): repeats cannot be helped.
    if (total >= (1 << 23)) {
        for (int i = 0; i < total; ++i)
            colour[size_t(i)] = Candidate(kHueCandidates + i);
        total = 0;
    }
    for (int i = 0; i < total; ++i) {
        int best = -1, bestDistance = -1;
        for (int k = next, tried = 0; tried < kTries || best < 0; ++k) {
            const Rgba c = Candidate(k);
            if (used.count(code(c)) || (background && code(c) == code(*background)))
                continue;
            ++tried;
            int nearest = background && background->a > 0 ? Distance2(c, *background) : 1 << 30;
            for (const int n : touching[size_t(i)])
                if (n < i)
                    nearest = std::min(nearest, Distance2(c, colour[size_t(n)]));
            if (nearest > bestDistance) {
                best = k;
                bestDistance = nearest;
            }
            if (nearest >= kFar2)
                break;
        }
        colour[size_t(i)] = Candidate(best);
        used.insert(code(colour[size_t(i)]));
        while (used.count(code(Candidate(next))))
            ++next;
    }
    return colour;
}
