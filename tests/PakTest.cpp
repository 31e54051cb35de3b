// id's .pak archives among a game's files, on paks the tests write byte by
// byte: which file wins (pak0 < pak1 < pak10 < .pk3 < loose), a pak told by
// its content whatever its name, hostile directories refused with the pak
// and the entry named, "ARCHIVE.pak:PATH", and the pool of open archives.
#include "game/Archive.h"
#include "game/GameFiles.h"

#include "tests/TestGame.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PakDir {
  public:
    PakDir() {
        static std::mt19937_64 random(std::random_device{}());
        m_path = fs::temp_directory_path() /
                 ("gridwright-pak-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
        fs::create_directories(m_path);
    }
    ~PakDir() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    PakDir(const PakDir&) = delete;
    PakDir& operator=(const PakDir&) = delete;
    const fs::path& path() const { return m_path; }

  private:
    fs::path m_path;
};

void Put32(std::string& bytes, size_t at, int64_t value) {
    const auto u = uint32_t(int32_t(value));
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = char(u >> (8 * i) & 0xFF);
}

// One directory entry as written, whatever it claims. A name of 56
// characters fills its field with no end.
struct Record {
    std::string name;
    int64_t pos, len;
};

// The header, `data` from offset 12, then a directory of `records`.
std::string RawPak(const std::string& data, const std::vector<Record>& records) {
    std::string bytes = "PACK" + std::string(8, '\0') + data;
    Put32(bytes, 4, int64_t(bytes.size()));
    Put32(bytes, 8, int64_t(records.size() * 64));
    for (const Record& r : records) {
        std::string entry(64, '\0');
        entry.replace(0, std::min<size_t>(r.name.size(), 56), r.name.substr(0, 56));
        Put32(entry, 56, r.pos);
        Put32(entry, 60, r.len);
        bytes += entry;
    }
    return bytes;
}

// A pak of files laid one after another, as the pak tools lay them.
std::string Pak(const std::vector<std::pair<std::string, std::string>>& files) {
    return PakBytes(files);
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void WriteZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& files) {
    int error = 0;
    zip_t* zip = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, content] : files) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_RAW), 0) << zip_strerror(zip);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

std::string Text(const GameFiles& game, const std::string& path) {
    const std::unique_ptr<GameFile> file = game.Find(path);
    if (!file)
        return "(none)";
    const Result<SourceBytes> read = game.Read(*file);
    if (!read.ok())
        return "(error) " + read.error().Message();
    const Bytes& b = *read.value().bytes;
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

// The problem that mentions `needle`, or "" when none does.
std::string ProblemWith(const GameFiles& game, const std::string& needle) {
    for (const std::string& problem : game.problems())
        if (problem.find(needle) != std::string::npos)
            return problem;
    return {};
}

} // namespace

TEST(Pak, NumberedPaksThenPk3sThenLooseFilesWin) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need an administrator's privilege on Windows, and links "
                    "leading out are what this test is about";
#else
    PakDir dir;
    const fs::path base = dir.path() / "id1";
    fs::create_directories(base);
    Write(base / "pak0.pak", Pak({{"progs/a.mdl", "pak0"},
                                  {"progs/b.mdl", "pak0"},
                                  {"progs/c.mdl", "pak0"},
                                  {"progs/only0.mdl", "only0"}}));
    Write(base / "pak1.pak", Pak({{"progs/a.mdl", "pak1"}, {"progs/b.mdl", "pak1"}}));
    Write(base / "pak9.pak", Pak({{"progs/b.mdl", "pak9"}, {"progs/c.mdl", "pak9"}}));
    // By name pak10 sorts before pak9; by number it comes after.
    Write(base / "PAK10.PAK", Pak({{"Progs\\C.MDL", "pak10"}}));
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(Text(game, "progs/only0.mdl"), "only0");
    EXPECT_EQ(Text(game, "progs/a.mdl"), "pak1");  // pak1 over pak0
    EXPECT_EQ(Text(game, "progs/b.mdl"), "pak9");  // pak9 over pak1, pak2 to pak8 missing
    EXPECT_EQ(Text(game, "PROGS/c.mdl"), "pak10"); // pak10 over pak9
    EXPECT_EQ(game.Find("progs/a.mdl")->origin,
              (base / "pak1.pak").make_preferred().string() + ":progs/a.mdl");
    EXPECT_TRUE(game.problems().empty()) << game.problems()[0];

    // A .pk3 beside them is above every .pak; a loose file above both.
    WriteZip(base / "aaa.pk3", {{"progs/b.mdl", "pk3"}});
    fs::create_directories(base / "progs");
    Write(base / "progs/a.mdl", "loose");
    GameFiles mixed;
    mixed.AddFolder(base.string());
    EXPECT_EQ(Text(mixed, "progs/a.mdl"), "loose");
    EXPECT_FALSE(mixed.Find("progs/a.mdl")->inArchive);
    EXPECT_EQ(Text(mixed, "progs/b.mdl"), "pk3");
    EXPECT_EQ(Text(mixed, "progs/c.mdl"), "pak10");
    // The merged listing agrees with Find, each path once.
    const std::vector<GameFile> listed = mixed.List("progs/");
    ASSERT_EQ(listed.size(), 4u);
    for (const GameFile& file : listed)
        EXPECT_EQ(file.origin, mixed.Find(file.gamePath)->origin) << file.gamePath;

    // A pak that is a link leading out of the game is not the game's.
    Write(dir.path() / "elsewhere.pak", Pak({{"progs/a.mdl", "outside"}, {"progs/z.mdl", "z"}}));
    fs::create_symlink(dir.path() / "elsewhere.pak", base / "pak3.pak");
    GameFiles linked;
    linked.AddFolder(base.string());
    EXPECT_EQ(Text(linked, "progs/z.mdl"), "(none)");
    EXPECT_NE(ProblemWith(linked, "pak3.pak").find("leads out of the game folder"),
              std::string::npos);
#endif
}

TEST(Pak, ANameStoredTwiceIsReadFromItsFirstEntryAsTheEngineSearches) {
    PakDir dir;
    const fs::path pak = dir.path() / "pak0.pak";
    Write(pak, Pak({{"maps/start.bsp", "first"},
                    {"progs/x.mdl", "x"},
                    {"MAPS\\Start.bsp", "second"},
                    {"maps/start.bsp", "third"}}));
    GameFiles game;
    ASSERT_TRUE(game.AddArchive(pak.string()).ok());
    EXPECT_EQ(Text(game, "maps/start.bsp"), "first");
    EXPECT_EQ(Text(game, "progs/x.mdl"), "x");
    const std::string said = ProblemWith(game, "stored more than once");
    EXPECT_NE(said.find("the first one is read"), std::string::npos) << said;
    EXPECT_EQ(game.problems().size(), 1u); // said once, however many copies
    EXPECT_EQ(game.List("maps/").size(), 1u);
}

TEST(Pak, HostileEntriesAreLeftOutAndSaidTheRestRead) {
    PakDir dir;
    const fs::path pak = dir.path() / "pak0.pak";
    // Data: "good" at 12, "shared..." at 16 (24 bytes), "tail" at 40.
    const std::string data = "good" + std::string(24, 's') + "tail";
    const std::string longName(56, 'n');
    const std::string bytes =
        RawPak(data, {{"progs/good.mdl", 12, 4},
                      {"progs/tail.mdl", 40, 4},
                      {"progs/shared1.mdl", 16, 16},
                      {"progs/shared2.mdl", 24, 16}, // overlaps shared1
                      {"progs/past.mdl", 40, 2000},  // runs past the end
                      {"progs/far.mdl", 1 << 30, 4}, // starts past the end
                      {"progs/huge.mdl", 12, INT32_MAX},
                      {"progs/negative.mdl", -8, 4},
                      {"progs/minus.mdl", 12, -1},
                      {"progs/empty.mdl", 20, 0}, // inside shared1, but empty: shares nothing
                      // Bad names, empty so that they share no data with good.mdl.
                      {"../escape.cfg", 12, 0},
                      {"/etc/passwd", 12, 0},
                      {"c:/autoexec.bat", 12, 0},
                      {"progs/a::b", 12, 0},
                      {"progs/..\\..\\x", 12, 0},
                      {longName, 12, 0}});
    Write(pak, bytes);
    GameFiles game;
    ASSERT_TRUE(game.AddArchive(pak.string()).ok());
    EXPECT_EQ(Text(game, "progs/good.mdl"), "good");
    EXPECT_EQ(Text(game, "progs/tail.mdl"), "tail");
    EXPECT_EQ(Text(game, "progs/empty.mdl"), "");
    for (const char* gone :
         {"progs/shared1.mdl", "progs/shared2.mdl", "progs/past.mdl", "progs/far.mdl",
          "progs/huge.mdl", "progs/negative.mdl", "progs/minus.mdl"})
        EXPECT_EQ(Text(game, gone), "(none)") << gone;
    for (const char* shared : {"progs/shared1.mdl", "progs/shared2.mdl"})
        EXPECT_NE(ProblemWith(game, shared).find("shares its data"), std::string::npos) << shared;
    for (const char* outside : {"progs/past.mdl", "progs/far.mdl", "progs/huge.mdl",
                                "progs/negative.mdl", "progs/minus.mdl"})
        EXPECT_NE(ProblemWith(game, outside).find("outside the archive"), std::string::npos)
            << outside;
    for (const std::string& bad :
         {std::string("../escape.cfg"), std::string("/etc/passwd"), std::string("c:/autoexec.bat"),
          std::string("progs/a::b"), std::string("progs/../../x"), longName}) {
        const std::string said = ProblemWith(game, "\"" + bad + "\"");
        EXPECT_NE(said.find("is not a game path"), std::string::npos) << bad;
        EXPECT_NE(said.find(pak.string()), std::string::npos) << said;
    }
    EXPECT_EQ(game.List("").size(), 3u);
}

TEST(Pak, ADamagedDirectoryRefusesThePakNamingItAndWhy) {
    PakDir dir;
    const std::string good = Pak({{"progs/a.mdl", "aaaa"}, {"progs/b.mdl", "bbbb"}});
    struct Case {
        const char* file;
        std::string bytes;
        const char* why;
    };
    std::vector<Case> cases;
    cases.push_back({"short.pak", std::string("PACK\x0c\0\0\0", 8), "too short"});
    cases.push_back({"cut.pak", good.substr(0, good.size() - 10), "runs past the end"});
    std::string farDirectory = good;
    Put32(farDirectory, 4, 1 << 30);
    cases.push_back({"far.pak", farDirectory, "runs past the end"});
    std::string negative = good;
    Put32(negative, 4, -64);
    cases.push_back({"negative.pak", negative, "runs past the end"});
    std::string ragged = good + std::string(36, '\0');
    Put32(ragged, 8, 64 * 2 + 36);
    cases.push_back({"ragged.pak", ragged, "not a whole number of 64-byte entries"});
    for (const Case& c : cases) {
        const fs::path path = dir.path() / c.file;
        Write(path, c.bytes);
        const Result<std::shared_ptr<Archive>> opened = Archive::Open(path.string());
        ASSERT_FALSE(opened.ok()) << c.file;
        EXPECT_EQ(opened.error().path, path.string());
        EXPECT_NE(opened.error().reason.find(c.why), std::string::npos)
            << c.file << ": " << opened.error().reason;
    }
    // More entries than are read, claimed by a directory that is there
    // (a sparse file): refused before the directory is read.
    const fs::path many = dir.path() / "many.pak";
    std::string header = "PACK" + std::string(8, '\0');
    Put32(header, 4, 12);
    Put32(header, 8, int64_t((kMaxPakEntries + 1) * 64));
    Write(many, header);
    fs::resize_file(many, 12 + (kMaxPakEntries + 1) * 64);
    const Result<std::shared_ptr<Archive>> opened = Archive::Open(many.string());
    ASSERT_FALSE(opened.ok());
    EXPECT_NE(opened.error().reason.find("more than the"), std::string::npos)
        << opened.error().reason;

    // In a game folder the broken pak is said and the others still read.
    const fs::path base = dir.path() / "game";
    fs::create_directories(base);
    Write(base / "pak0.pak", good);
    Write(base / "pak1.pak", ragged);
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(Text(game, "progs/a.mdl"), "aaaa");
    EXPECT_NE(ProblemWith(game, "pak1.pak").find("64-byte"), std::string::npos);
}

TEST(Pak, TheContentSaysWhichKindWhateverTheName) {
    PakDir dir;
    const fs::path base = dir.path() / "game";
    fs::create_directories(base);
    Write(base / "pak0.pk3", Pak({{"progs/a.mdl", "pak in a pk3"}}));
    WriteZip(base / "pak1.pak", {{"progs/b.mdl", "zip in a pak"}});
    const Result<std::shared_ptr<Archive>> pak =
        Archive::Open((base / "pak0.pk3").make_preferred().string());
    ASSERT_TRUE(pak.ok()) << pak.error().Message();
    EXPECT_TRUE(pak.value()->isPak());
    const Result<std::shared_ptr<Archive>> zip =
        Archive::Open((base / "pak1.pak").make_preferred().string());
    ASSERT_TRUE(zip.ok()) << zip.error().Message();
    EXPECT_FALSE(zip.value()->isPak());
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(Text(game, "progs/a.mdl"), "pak in a pk3");
    EXPECT_EQ(Text(game, "progs/b.mdl"), "zip in a pak");
    // Neither kind: refused as no archive.
    Write(base / "pak2.pak", "not an archive at all");
    GameFiles other;
    other.AddFolder(base.string());
    EXPECT_NE(ProblemWith(other, "pak2.pak"), "");
    EXPECT_EQ(Text(other, "progs/a.mdl"), "pak in a pk3");
}

TEST(Pak, AnEntryIsNamedAsArchiveColonPath) {
    PakDir dir;
    const fs::path base = dir.path() / "id1";
    fs::create_directories(base);
    const std::string mdl = "IDPO and the rest of a model";
    Write(base / "pak0.pak", Pak({{"progs/player.mdl", mdl}, {"progs/eyes.mdl", "eyes"}}));
    Write(base / "pak1.pak", Pak({{"progs/eyes.mdl", "newer eyes"}}));
    const std::string pak0 = (base / "pak0.pak").make_preferred().string();
    std::string archive, path;
    ASSERT_TRUE(SplitArchivePath(pak0 + ":progs/player.mdl", archive, path));
    EXPECT_EQ(archive, pak0);
    EXPECT_EQ(path, "progs/player.mdl");
    EXPECT_FALSE(SplitArchivePath(
        (base / "pak7.pak").make_preferred().string() + ":progs/player.mdl", archive,
        path)); // no such pak

    const Result<GameModel> opened = OpenGameModel(pak0 + ":Progs\\Player.MDL", {});
    ASSERT_TRUE(opened.ok()) << opened.error().Message();
    const Bytes& bytes = *opened.value().bytes.bytes;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), mdl);
    EXPECT_EQ(opened.value().gamePath, "progs/player.mdl");
    EXPECT_NE(opened.value().bytes.path.find("pak0.pak:"), std::string::npos);
    // The game is the pak's folder: its other paks searched as the game does.
    EXPECT_EQ(Text(*opened.value().files, "progs/eyes.mdl"), "newer eyes");
    // The pak named is read, not the game's winner.
    const Result<GameModel> eyes = OpenGameModel(pak0 + ":progs/eyes.mdl", {});
    ASSERT_TRUE(eyes.ok());
    EXPECT_EQ(eyes.value().bytes.bytes->size(), 4u);

    const Result<GameModel> missing = OpenGameModel(pak0 + ":progs/none.mdl", {});
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().reason.find("no such file"), std::string::npos);
    EXPECT_FALSE(OpenGameModel(pak0 + ":../pak1.pak", {}).ok());
}

TEST(Pak, ReadsAreCappedAndCountedAgainstTheGamesBudget) {
    PakDir dir;
    const fs::path pak = dir.path() / "pak0.pak";
    Write(pak, Pak({{"gfx/a.lmp", std::string(3000, 'a')}, {"gfx/b.lmp", std::string(3000, 'b')}}));
    const Result<std::shared_ptr<Archive>> opened = Archive::Open(pak.string());
    ASSERT_TRUE(opened.ok());
    const Archive& archive = *opened.value();
    const Result<SourceBytes> capped = archive.Read(*archive.Find("gfx/a.lmp"), 2999, "too big");
    ASSERT_FALSE(capped.ok());
    EXPECT_EQ(capped.error().reason, "too big");
    EXPECT_EQ(capped.error().path, pak.string() + ":gfx/a.lmp");
    EXPECT_TRUE(archive.Read(*archive.Find("gfx/a.lmp"), 3000).ok());

    GameFiles game;
    ASSERT_TRUE(game.AddArchive(pak.string()).ok());
    game.SetInflateBudget(4000);
    EXPECT_EQ(Text(game, "gfx/a.lmp"), std::string(3000, 'a'));
    EXPECT_NE(Text(game, "gfx/b.lmp").find("as many bytes as Gridwright reads"), std::string::npos);
}

TEST(Pak, MorePaksThanArePooledStayReadableAndAChangedOneIsRefused) {
    PakDir dir;
    const fs::path base = dir.path() / "game";
    fs::create_directories(base);
    const size_t count = kOpenArchives + 8;
    for (size_t i = 0; i < count; ++i)
        Write(base / ("pak" + std::to_string(i) + ".pak"),
              Pak({{"maps/e" + std::to_string(i) + ".bsp", "map " + std::to_string(i)}}));
    GameFiles game;
    game.AddFolder(base.string());
    ASSERT_TRUE(game.problems().empty()) << game.problems()[0];
    EXPECT_LE(Archive::OpenCount(), kOpenArchives);
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(Text(game, "maps/e" + std::to_string(i) + ".bsp"),
                      "map " + std::to_string(i));
            EXPECT_LE(Archive::OpenCount(), kOpenArchives);
        }
    // pak0 was closed to make room since; changed on disk, it is not read
    // again as if it were the pak first indexed.
    for (size_t i = 1; i < count; ++i)
        Text(game, "maps/e" + std::to_string(i) + ".bsp");
    const fs::path pak0 = base / "pak0.pak";
    std::string changed = Pak({{"maps/e0.bsp", "map X"}});
    {
        std::fstream in(pak0, std::ios::binary | std::ios::in | std::ios::out);
        in.write(changed.data(), std::streamsize(changed.size()));
    }
    fs::last_write_time(pak0, fs::last_write_time(pak0) + std::chrono::seconds(5));
    const std::string read = Text(game, "maps/e0.bsp");
    EXPECT_NE(read.find("changed on disk"), std::string::npos) << read;
}

// Real paks, when a game of them is beside the repository: every entry
// reads whole, at the size its directory gives.
TEST(Pak, RealPaksReadWhole) {
    const fs::path root = fs::path(GW_SOURCE_DIR) / "../shared/game";
    std::vector<fs::path> paks;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file(error) && it->path().extension() == ".pak")
            paks.push_back(it->path());
    if (paks.empty())
        GTEST_SKIP() << "no .pak under " << root.string();
    for (const fs::path& path : paks) {
        const Result<std::shared_ptr<Archive>> opened = Archive::Open(path.string());
        ASSERT_TRUE(opened.ok()) << opened.error().Message();
        const Archive& archive = *opened.value();
        EXPECT_TRUE(archive.isPak());
        EXPECT_TRUE(archive.refused().empty() && archive.overlapping().empty() &&
                    archive.outside().empty())
            << path;
        for (const ArchiveEntry& entry : archive.entries()) {
            const Result<SourceBytes> bytes = archive.Read(entry);
            ASSERT_TRUE(bytes.ok()) << bytes.error().Message();
            EXPECT_EQ(bytes.value().bytes->size(), entry.size) << entry.name;
        }
    }
}
