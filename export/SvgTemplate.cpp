#include "export/SvgTemplate.h"

#include "render/LayoutDrawing.h"

std::string BuildSvgText(const SurfaceRecord* record, int width, int height) {
    const std::string w = std::to_string(width), h = std::to_string(height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                      "\">\n<rect width=\"" + w + "\" height=\"" + h +
                      "\" fill=\"white\"/>\n<path fill=\"none\" stroke=\"black\" "
                      "stroke-width=\"1\" shape-rendering=\"crispEdges\" d=\"";
    if (record) {
        const LayoutMapping m{double(width), double(height), 0.0, 0.0};
        auto at = [](const LayoutPoint& p) {
            return std::to_string(p.x) + ".5 " + std::to_string(p.y) + ".5";
        };
        ForEachTriangle(*record, [&](int a, int b, int c) {
            svg += "M" + at(MapVertex(*record, a, m)) + "L" + at(MapVertex(*record, b, m)) + "L" +
                   at(MapVertex(*record, c, m)) + "Z";
        });
    }
    svg += "\"/>\n</svg>\n";
    return svg;
}

