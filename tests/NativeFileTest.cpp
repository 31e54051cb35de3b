// The native layer: patterns as fnmatch reads them (on Linux fnmatch itself
// answers, so the table holds both to the same answers), and on Windows the
// whole-or-nothing writer and the UTF-8 paths.
#include "model/NativeFile.h"
#include "export/SafeFile.h"
#include "model/FileReader.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

TEST(NativeFile, PatternsMatchAsFnmatchDoes) {
    struct Case {
        const char *pattern, *text;
        bool matches;
    };
    const Case cases[] = {
        {"models/*.md3", "models/players/bot/upper.md3", true}, // '*' crosses '/'
        {"models/*.md3", "models/a.md2", false},
        {"*", "", true},
        {"?", "", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"[a-c]x", "bx", true},
        {"[a-c]x", "dx", false},
        {"[!a-c]x", "dx", true},
        {"[!a-c]x", "ax", false},
        {"[]]", "]", true},
        {"[a-]", "-", true},
        {"\\*", "*", true},
        {"\\*", "a", false},
        {"[", "[", true}, // not closed: a plain '['
        {"*a*b*c*", "xxaxxbxxcxx", true},
        {"*a*b*c*", "xxaxxcxxbxx", false},
        {"textures/*/skin_??.tga", "textures/bot/skin_01.tga", true},
        {"textures/*/skin_??.tga", "textures/bot/skin_1.tga", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(native::MatchesPattern(c.pattern, c.text), c.matches)
            << c.pattern << " / " << c.text;
    // Many stars against a long near-miss still answers, and says no.
    EXPECT_FALSE(native::MatchesPattern(std::string(30, '*') + "b", std::string(5000, 'a')));
}

TEST(NativeFile, PathsKeepTheirUtf8BytesBothWays) {
    const std::string name = "mod\xc3\xa8le \xc3\xa9t\xc3\xa9.md3"; // "modèle été.md3"
    const fs::path path = native::PathOf(name);
    EXPECT_EQ(native::Utf8Of(path), name);
    EXPECT_EQ(native::Utf8Of(path.stem()), "mod\xc3\xa8le \xc3\xa9t\xc3\xa9");
    EXPECT_EQ(native::Utf8Of(path.extension()), ".md3");
    EXPECT_EQ(native::GenericUtf8Of(native::PathOf("a/b") / native::PathOf(name)), "a/b/" + name);
}

#ifdef _WIN32

namespace {

std::string Slurp(const std::string& utf8) {
    std::ifstream in(native::PathOf(utf8), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        names.push_back(native::Utf8Of(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(NativeFileWindows, Utf8NamesDriveLettersAndBackslashesReachTheSameFile) {
    TempDir dir;
    // The folder as Windows names it: "C:\...\gridwright-test-..." with '\'.
    const std::string folder = native::Utf8Of(fs::absolute(dir.path()).make_preferred());
    ASSERT_GE(folder.size(), 3u);
    ASSERT_EQ(folder[1], ':');
    const std::string name = folder + "\\\xc3\xa9t\xc3\xa9 \xe2\x98\x83.eps"; // "été ☃.eps"
    ASSERT_TRUE(WriteFileSafely(name, "first").ok());
    ASSERT_TRUE(WriteFileSafely(name, "second, longer").ok());
    // Read back through the wide name, by the reader the models use.
    FileReader reader;
    ASSERT_TRUE(reader.Open(name)) << reader.error();
    std::string bytes(size_t(reader.size()), '\0');
    ASSERT_TRUE(reader.ReadAt(0, bytes.data(), bytes.size())) << reader.error();
    EXPECT_EQ(bytes, "second, longer");
    // The same file with '/' between the parts, and nothing else left beside it.
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    EXPECT_EQ(Slurp(slashed), "second, longer");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"\xc3\xa9t\xc3\xa9 \xe2\x98\x83.eps"});
    EXPECT_EQ(FileNameOf(name), "\xc3\xa9t\xc3\xa9 \xe2\x98\x83.eps");
}

TEST(NativeFileWindows, ATargetHeldOpenByAnotherProgramIsLeftAsItWas) {
    TempDir dir;
    const std::string path = dir.File("held.png");
    ASSERT_TRUE(WriteFileSafely(path, "former").ok());
    // As an editor that locks what it has open: readers welcome, no writer,
    // no rename or delete.
    const HANDLE held = ::CreateFileW(native::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Status refused = WriteFileSafely(path, "new bytes");
    ::CloseHandle(held);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().Message().find("another program has the file open"),
              std::string::npos)
        << refused.error().Message();
    EXPECT_EQ(Slurp(path), "former");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"held.png"});
    // Once it is closed there, the write goes through.
    ASSERT_TRUE(WriteFileSafely(path, "new bytes").ok());
    EXPECT_EQ(Slurp(path), "new bytes");
}

TEST(NativeFileWindows, ReadOnlyFilesFoldersAndMissingFoldersAreRefused) {
    TempDir dir;
    const std::string path = dir.File("locked.bmp");
    ASSERT_TRUE(WriteFileSafely(path, "kept").ok());
    ASSERT_TRUE(::SetFileAttributesW(native::Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    const Status readOnly = WriteFileSafely(path, "lost");
    ::SetFileAttributesW(native::Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_FALSE(readOnly.ok());
    EXPECT_EQ(readOnly.error().Message(), "Cannot write \"" + path + "\": the file is read-only.");
    EXPECT_EQ(Slurp(path), "kept");

    fs::create_directory(dir.path() / "folder.eps");
    const Status folder = WriteFileSafely(dir.File("folder.eps"), "x");
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().Message().find("it is a folder"), std::string::npos);

    const Status missing = WriteFileSafely(dir.File("nowhere\\x.eps"), "x");
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().Message().find("its folder does not exist"), std::string::npos);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"folder.eps", "locked.bmp"}));
}

TEST(NativeFileWindows, AFileTheReaderHoldsIsKeptUntilItIsClosed) {
    TempDir dir;
    const std::string path = dir.File("model.md3");
    ASSERT_TRUE(WriteFileSafely(path, std::string(100, 'a')).ok());
    auto reader = std::make_unique<FileReader>();
    ASSERT_TRUE(reader->Open(path)) << reader->error();
    EXPECT_TRUE(reader->Unchanged());
    // Windows replaces no name that an open file holds: the write is refused
    // as for any other program's hold, and the file read stays whole.
    const Status held = WriteFileSafely(path, std::string(10, 'b'));
    ASSERT_FALSE(held.ok());
    EXPECT_NE(held.error().Message().find("another program has the file open"), std::string::npos)
        << held.error().Message();
    EXPECT_EQ(Slurp(path), std::string(100, 'a'));
    EXPECT_TRUE(reader->Unchanged());
    const FileReader::Identity before = reader->identity();
    char byte = 0;
    EXPECT_FALSE(reader->ReadAt(100, &byte, 1));
    EXPECT_NE(reader->error().find("out of bounds"), std::string::npos);
    reader.reset();
    // Closed, the file is replaced: another file, of the new size.
    ASSERT_TRUE(WriteFileSafely(path, std::string(10, 'b')).ok());
    FileReader again;
    ASSERT_TRUE(again.Open(path)) << again.error();
    EXPECT_EQ(again.size(), 10);
    EXPECT_FALSE(again.identity() == before);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"model.md3"});
    FileReader folder;
    EXPECT_FALSE(folder.Open(native::Utf8Of(dir.path())));
    EXPECT_EQ(folder.error(), "it is a folder, not a file");
}

#endif
