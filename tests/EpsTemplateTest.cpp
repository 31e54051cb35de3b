#include "export/EpsTemplate.h"
#include "export/SafeFile.h"
#include "export/TemplateFile.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::tm FixedTime() {
    std::tm t{};
    t.tm_year = 2001 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 9;
    return t;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The lines after the 13 fixed ones and before the closing three.
std::vector<std::string> PathLines(const Surface* r, int w, int h) {
    const std::tm t = FixedTime();
    std::vector<std::string> lines = Lines(PlainEps(r, w, h, "t.eps", &t));
    return std::vector<std::string>(lines.begin() + 13, lines.end() - 3);
}

} // namespace

TEST(EpsText, WithoutTrianglesIsTheSixteenFixedLines) {
    TestRecord r;
    const std::tm t = FixedTime();
    EXPECT_EQ(PlainEps(r.record, 256, 32, "my (best) skin.eps", &t),
              "%!PS-Adobe-3.0 EPSF-3.0\r\n"
              "%%Creator: Gridwright 0.99B\r\n"
              "%%Title: (my (best) skin.eps)\r\n"
              "%%CreationDate: (03/05/01) (14:07:09)\r\n"
              "%%DocumentData: Clean7Bit\r\n"
              "%%DocumentProcessColors: Cyan Magenta Yellow Black\r\n"
              "%%BoundingBox: 0 0 256 32\r\n"
              "%%EndComments\r\n"
              "%%BeginProlog\r\n"
              "%%Copyright: (C) 1999 the Gridwright authors. Templates are yours to use.\r\n"
              "%%EndProlog\r\n"
              "%%BeginSetup\r\n"
              "%%EndSetup\r\n"
              "stroke\r\n"
              "1 setlinewidth\r\n"
              "%%EOF\r\n");
    EXPECT_EQ(Lines(PlainEps(r.record, 32, 32, "x", nullptr))[3], "%%CreationDate: ");
    // A name outside 7-bit ASCII stands byte for byte.
    EXPECT_EQ(Lines(PlainEps(r.record, 32, 32, "cr\xe8me.eps", &t))[2], "%%Title: (cr\\350me.eps)");
}

TEST(EpsText, DrawsEachTriangleAsMovetoTwoRlinetosAndClosepath) {
    TestRecord r;
    r.SetVertices({{0.25, 0.25}, {0.75, 0.25}, {0.5, 0.75}, {0, 0}, {1, 0}, {0, 1}});
    r.AddTriangle(0, 1, 2);
    EXPECT_EQ(
        PathLines(r.record, 64, 32),
        (std::vector<std::string>{"16 24 moveto", "32 0 rlineto", "-16 -16 rlineto", "closepath"}));
    r.ClearTriangles();
    r.AddTriangle(3, 4, 5);
    EXPECT_EQ(PathLines(r.record, 128, 128),
              (std::vector<std::string>{"0 128 moveto", "128 0 rlineto", "-128 -128 rlineto",
                                        "closepath"}));
}

TEST(EpsText, TruncatesTowardZeroAndWritesPointsOutsideTheBox) {
    TestRecord r;
    r.SetVertices({{0.999999, 0.3}, {1.25, 1.0039}, {0.0, 1.5}});
    r.AddTriangle(0, 1, 2);
    // (255, 44) at 256 x 64; (80, 0) and (0, -64) at 64 x 128 and 256 x 256.
    EXPECT_EQ(PathLines(r.record, 256, 64)[0], "255 44 moveto");
    EXPECT_EQ(PathLines(r.record, 256, 256)[1], "65 -179 rlineto"); // v = 1.0039 gives 0, not -1
    const std::vector<std::string> lines = PathLines(r.record, 64, 128);
    EXPECT_EQ(lines[0], "63 89 moveto");
    EXPECT_EQ(lines[1], "17 -89 rlineto");  // to (80, 0): 1 - 1.0039 = -0.0039 -> 0
    EXPECT_EQ(lines[2], "-80 -64 rlineto"); // to (0, -64)
}

TEST(EpsText, SkipsBadTrianglesAndNeverOverflows) {
    TestRecord r;
    r.SetVertices({{3.0e38, 0.0}, {0.0, 3.0e38}, {0.5, 0.5}});
    r.AddTriangle(0, 1, 9);
    r.AddTriangle(0, 1, 2);
    const std::vector<std::string> lines = PathLines(r.record, 8192, 8192);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "1000000000 8192 moveto");
    EXPECT_EQ(lines[1], "-1000000000 -1000008192 rlineto");
    EXPECT_EQ(PathLines(nullptr, 32, 32).size(), 0u);
}

TEST(EpsFile, WritesTheTextWithTheNameWithoutItsFolder) {
    TempDir dir;
    const std::string path = dir.File("skin (1).eps");
    WriteWholeFile(path, std::string(100000, '~'));
    const Status written = WriteTemplateFile(path, {}, PlainStyle(64, 32, WrapMode::Repeat));
    EXPECT_TRUE(written.ok());
    const std::string text = ReadWholeFile(path);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[2], "%%Title: (skin (1).eps)");
    EXPECT_EQ(lines[6], "%%BoundingBox: 0 0 64 32");
    EXPECT_EQ(text.find('~'), std::string::npos);
    EXPECT_EQ(lines[3].size(), std::string("%%CreationDate: (03/05/01) (14:07:09)").size());
}

namespace {
// An EPS template written safely, whatever the file's name.
[[maybe_unused]] Status WriteEps(const std::string& path) {
    return WriteFileSafely(path, PlainEps(nullptr, 32, 32, "t.eps", nullptr));
}
} // namespace

TEST(EpsFile, FailureShowsTheReasonAndKeepsTheFormerContent) {
#ifdef _WIN32
    GTEST_SKIP() << "/dev/full and POSIX permission bits";
#else
    TempDir dir;
    std::vector<std::string> shown;
    auto show = [&shown](const Status& outcome) {
        shown.push_back(outcome.error().Message());
        return outcome.ok();
    };

    EXPECT_FALSE(show(WriteEps("/dev/full")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Cannot write \"/dev/full\": No space left on device.");

    const std::string readOnly = dir.File("kept.eps");
    WriteWholeFile(readOnly, "former");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    EXPECT_FALSE(show(WriteEps(readOnly)));
    EXPECT_EQ(shown.back(), "Cannot write \"" + readOnly + "\": the file is read-only.");
    EXPECT_EQ(ReadWholeFile(readOnly), "former");

    EXPECT_FALSE(show(WriteEps(dir.path().string())));
    EXPECT_EQ(shown.back(), "Cannot write \"" + dir.path().string() + "\": it is a folder.");

    const std::string nowhere = dir.File("no/such/folder.eps");
    EXPECT_FALSE(show(WriteEps(nowhere)));
    EXPECT_EQ(shown.back(), "Cannot write \"" + nowhere +
                                "\": cannot create a file in its folder (No such file or "
                                "directory).");
    EXPECT_EQ(shown.size(), 4u);
    // Nothing but the read-only file was left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
#endif
}
