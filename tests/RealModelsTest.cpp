// Real models made by others: every one loads, lists as an independent parser
// saw it, and flattens. Skipped when the corpus folder is absent.
#include "export/EpsTemplate.h"
#include "export/PngTemplate.h"
#include "render/LayoutRaster.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <cmath>

#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct SeenSurface {
    std::string name, shader;
    int vertices = 0, triangles = 0;
};

// STATS.txt: one tab-separated line per surface, made by another parser.
std::map<std::string, std::vector<SeenSurface>> ReadStats(const fs::path& file) {
    std::map<std::string, std::vector<SeenSurface>> models;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (cells.size() < 6 || cells[0] == "file" || cells[0][0] == '#')
            continue;
        models[cells[0]]; // a model with no surfaces still counts
        if (cells[1] == "!")
            continue;
        models[cells[0]].push_back({cells[2], cells[3] == "(empty name)" ? "" : cells[3],
                                    std::stoi(cells[4]), std::stoi(cells[5])});
    }
    return models;
}

} // namespace

TEST(RealModels, LoadListAndFlattenAsAnotherParserSawThem) {
    const fs::path corpus = GW_MD3_CORPUS;
    if (!fs::exists(corpus / "STATS.txt"))
        GTEST_SKIP() << "no model corpus at " << corpus;
    const auto stats = ReadStats(corpus / "STATS.txt");
    int models = 0, inkChecked = 0, wrappedChecked = 0, largestTriangles = 0;
    std::string largest;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (entry.path().extension() != ".md3")
            continue;
        ++models;
        const std::string key = fs::relative(entry.path(), corpus).generic_string();
        SCOPED_TRACE(key);
        const RecordingView view = LoadPath(entry.path().string());
        ASSERT_TRUE(view.failures.empty()) << view.failures[0];
        ASSERT_TRUE(stats.count(key)) << "not in STATS.txt";
        const std::vector<SeenSurface>& seen = stats.at(key);
        ASSERT_EQ(view.names.size(), seen.size());
        for (size_t i = 0; i < seen.size(); ++i) {
            const Surface& r = view.model.surfaces[i];
            EXPECT_EQ(view.names[i], seen[i].name);
            EXPECT_EQ(r.shaderName, seen[i].shader);
            EXPECT_EQ(int(r.u.size()), seen[i].vertices);
            EXPECT_EQ(int(r.triangles.size()), seen[i].triangles);
            for (int j = 0; j < int(r.u.size()); ++j)
                ASSERT_TRUE(std::fabs(r.u[j]) < 3 && std::fabs(r.v[j]) < 3); // signed, near the box
            const LayoutRaster raster = PlainRaster(&r, 256, 256);
            const std::string eps = PlainEps(&r, 256, 256, "t.eps", nullptr);
            EXPECT_EQ(std::count(eps.begin(), eps.end(), '\n'), 16 + 4 * int(r.triangles.size()));
            EXPECT_EQ(raster.ink.size(), 256u * 256u);
            // A surface laid out inside the texture gives ink inside the box
            // (one whose vertices all share one point has no layout to draw).
            bool inside = int(r.u.size()) > 0, spread = false;
            for (int j = 0; j < int(r.u.size()); ++j) {
                inside = inside && r.u[j] >= 0 && r.v[j] >= 0 && r.u[j] <= 1 && r.v[j] <= 1;
                spread = spread || r.u[j] != r.u[0] || r.v[j] != r.v[0];
            }
            inside = inside && spread;
            if (inside && int(r.triangles.size()) > 0) {
                EXPECT_GT(std::count(raster.ink.begin(), raster.ink.end(), 1), 0) << view.names[i];
                ++inkChecked;
            }
            // With wrapping, as the game shows it, every layout with any extent
            // leaves ink in the box, wherever its coordinates lie.
            if (spread && int(r.triangles.size()) > 0) {
                const LayoutRaster wrapped = DrawLayoutRaster({&r}, 256, 256, WrapMode::Repeat);
                EXPECT_GT(std::count(wrapped.ink.begin(), wrapped.ink.end(), 1), 0)
                    << view.names[i];
                ++wrappedChecked;
                if (int(r.triangles.size()) > largestTriangles) {
                    largestTriangles = int(r.triangles.size());
                    largest = entry.path().string() + " " + std::to_string(i);
                }
            }
        }
    }
    EXPECT_EQ(models, int(stats.size()));
    EXPECT_GE(models, 34);
    EXPECT_GE(inkChecked, 59); // one surface lies below zero
    EXPECT_GE(wrappedChecked, 78);

    // The busiest real layout at 2048 x 2048 compresses to under 100 KB.
    const auto space = largest.rfind(' ');
    const RecordingView busiestModel = LoadPath(largest.substr(0, space));
    ASSERT_TRUE(busiestModel.failures.empty());
    const Surface& busiest =
        busiestModel.model.surfaces.at(size_t(std::stoi(largest.substr(space + 1))));
    const std::string png = EncodePng(DrawLayoutRaster({&busiest}, 2048, 2048, WrapMode::Repeat));
    EXPECT_LT(png.size(), 100u * 1024u) << largest;
    RecordProperty("busiest_png_bytes", int(png.size()));
}
