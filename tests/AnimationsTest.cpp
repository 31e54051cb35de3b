// Named animations: animation.cfg read as the game reads it (one the test
// writes with every rule, and the shared player's), .framegroups files as
// DarkPlaces reads them, frames grouped by their names, the frame shown at a
// time, and --animations.
#include "scene/Animations.h"
#include "game/ModelAnimations.h"
#include "game/OpenModel.h"
#include "scene/Frames.h"
#include "tests/CliRun.h"
#include "tests/DecimalCommaLocale.h"
#include "tests/Md5Samples.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Every required animation, BOTH_DEATH1 at frame 0 and each after the one
// before it, `frames` long; the torso's 7 take frames 6 to 6 + 7 * frames.
std::string Lines(int frames, int upTo = kRequiredPlayerAnimations) {
    std::string text;
    for (int i = 0; i < upTo; ++i)
        text += std::to_string(i * frames) + "\t" + std::to_string(frames) + "\t0\t20\n";
    return text;
}

const Animation& Named(const PlayerAnimations& p, const std::string& name) {
    for (const Animation& a : p.animations)
        if (a.name == name)
            return a;
    static const Animation none;
    ADD_FAILURE() << "no " << name;
    return none;
}

} // namespace

TEST(AnimationConfig, EveryRuleOfTheGame) {
    std::string text = "// a player\n"
                       "sex F\nfootsteps boot\nheadoffset 1 -2 3.5\nfixedlegs\n"
                       "boundingbox -15 -15 -24 15 15 44 /* a mod's */\n" +
                       Lines(2);
    // TORSO_ATTACK backwards; LEGS_RUN holds its last frame; LEGS_IDLE loops
    // more frames than it has; TORSO_STAND at 0 fps.
    text.replace(text.find("14\t2\t0\t20"), 9, "14\t-2\t0\t20");
    text.replace(text.find("22\t2\t0\t20"), 9, "22\t2\t0\t0");
    text.replace(text.find("44\t2\t0\t20"), 9, "44\t2\t9\t20");
    const Result<PlayerAnimations> parsed = ParseAnimationConfig(text);
    ASSERT_TRUE(parsed.ok()) << parsed.error().reason;
    const PlayerAnimations& p = parsed.value();
    EXPECT_EQ(p.sex, "f");
    EXPECT_EQ(p.footsteps, "boot");
    EXPECT_EQ(p.headOffset, (std::array<double, 3>{1, -2, 3.5}));
    EXPECT_TRUE(p.fixedLegs);
    EXPECT_FALSE(p.fixedTorso);
    ASSERT_EQ(p.animations.size(), size_t(kPlayerAnimations));
    // The mod's line is skipped whole: its numbers are no frames.
    ASSERT_EQ(p.notes.size(), 2u);
    EXPECT_NE(p.notes[0].find("line 6"), std::string::npos) << p.notes[0];
    EXPECT_NE(p.notes[1].find("LEGS_IDLE loops 9 of its 2"), std::string::npos) << p.notes[1];
    EXPECT_EQ(Named(p, "BOTH_DEATH1").first, 0);
    EXPECT_EQ(Named(p, "BOTH_DEATH1").part, Animation::Part::Both);
    EXPECT_TRUE(Named(p, "TORSO_ATTACK").reversed);
    EXPECT_EQ(Named(p, "TORSO_ATTACK").frames, 2);
    EXPECT_EQ(Named(p, "TORSO_STAND").fps, 1);
    // LEGS_WALKCR at 26, TORSO_GESTURE at 12: the 14 torso-only frames
    // between them are not in the legs' model, so every LEGS_* starts 14 sooner.
    EXPECT_EQ(Named(p, "LEGS_WALKCR").first, 12);
    EXPECT_EQ(Named(p, "LEGS_WALKCR").part, Animation::Part::Legs);
    EXPECT_EQ(Named(p, "LEGS_TURN").first, 48 - 14);
    EXPECT_EQ(Named(p, "LEGS_IDLE").looping, 2);
    // The gestures left out play TORSO_GESTURE.
    for (const char* gesture : {"TORSO_GETFLAG", "TORSO_NEGATIVE"}) {
        EXPECT_EQ(Named(p, gesture).first, 12) << gesture;
        EXPECT_EQ(Named(p, gesture).part, Animation::Part::Torso) << gesture;
    }
    // Given, they are read, and not moved as the legs are.
    const Result<PlayerAnimations> all = ParseAnimationConfig(Lines(2, kPlayerAnimations));
    ASSERT_TRUE(all.ok());
    EXPECT_EQ(Named(all.value(), "TORSO_NEGATIVE").first, 60);
    EXPECT_TRUE(all.value().notes.empty());

    // Refusals: it ends before LEGS_TURN, or in the middle of a line; too long for the game.
    const Result<PlayerAnimations> shortFile = ParseAnimationConfig(Lines(2, 20));
    ASSERT_FALSE(shortFile.ok());
    EXPECT_NE(shortFile.error().reason.find("LEGS_JUMPB"), std::string::npos)
        << shortFile.error().reason;
    EXPECT_FALSE(ParseAnimationConfig(Lines(2, 24) + "7 7").ok());
    EXPECT_FALSE(ParseAnimationConfig(std::string(kMaxAnimationConfigBytes + 1, ' ')).ok());
    EXPECT_FALSE(ParseAnimationConfig("").ok());
}

TEST(AnimationConfig, TheSharedPlayersFramesAreAllThere) {
    const fs::path lower = fs::path(GW_MODEL_CORPUS) / "md3/casey/models/players/casey/lower.md3";
    if (!fs::exists(lower))
        GTEST_SKIP() << "the shared players are not here";
    const Result<OpenedModel> opened = OpenModel(lower.string(), {});
    ASSERT_TRUE(opened.ok());
    const Result<ModelAnimations> found = AnimationsOf(
        opened.value().model, *opened.value().game.files, opened.value().game.gamePath);
    ASSERT_TRUE(found.ok()) << found.error().Message();
    const ModelAnimations& m = found.value();
    EXPECT_EQ(m.source, "models/players/casey/animation.cfg");
    ASSERT_EQ(m.animations.size(), size_t(kPlayerAnimations));
    for (const std::string& note : m.notes)
        EXPECT_EQ(note.find("asks for frames"), std::string::npos) << note;
    const int frames = FrameCountOf(opened.value().model);
    for (const Animation& a : m.animations)
        if (a.part != Animation::Part::Torso) {
            EXPECT_LE(a.first + a.frames, frames) << a.name;
        }
    // The legs start right after the deaths, where lower.md3 has them.
    EXPECT_EQ(m.animations[13].name, "LEGS_WALKCR");
    EXPECT_EQ(m.animations[13].first, m.animations[6].first);

    const Outcome run = Cli({"--animations", lower.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\nLEGS_RUN\t5\t1\t0\t30\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("framegroups"), std::string::npos) << run.err; // there is none
    EXPECT_NE(run.err.find("\"boundingbox\" is no keyword"), std::string::npos) << run.err;
}

TEST(Animations, FramesAreGroupedByTheirNames) {
    const std::vector<Animation> g =
        GroupFramesByName({"stand1", "stand2", "stand3", "run1", "run2", "", "pain (1 of 2)",
                           "pain (2 of 2)", "stand4", "17"});
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[0].name, "stand");
    EXPECT_EQ(g[0].frames, 3);
    EXPECT_EQ(g[0].looping, 3); // a group repeats whole
    EXPECT_EQ(g[1].name, "run");
    EXPECT_EQ(g[1].first, 3);
    EXPECT_EQ(g[2].name, "pain");
    EXPECT_EQ(g[2].first, 6);
    EXPECT_EQ(g[2].frames, 2);
    EXPECT_EQ(g[3].name, "stand (2)"); // met again further on
    EXPECT_EQ(g[3].first, 8);
    EXPECT_EQ(g[3].fps, 10);
    EXPECT_TRUE(GroupFramesByName({}).empty());

    Animation a{"x", Animation::Part::Whole, 40, 10, 0, 10, false};
    EXPECT_EQ(FramesPastTheModel(a, 50), "");
    EXPECT_EQ(FramesPastTheModel(a, 45), "x asks for frames 40 to 49 of a model with 45");
}

// As the game steps: frame by frame at the file's speed (in whole
// milliseconds), then the last `looping` frames again, or the last held.
TEST(Animations, TheFrameShownAtATime) {
    Animation a{"a", Animation::Part::Whole, 10, 5, 2, 10, false};
    auto at = [&](double seconds) { return FrameAtTime(a, seconds); };
    EXPECT_EQ(at(0).from, 10);
    EXPECT_EQ(at(0).to, 11);
    EXPECT_EQ(at(0).blend, 0);
    EXPECT_EQ(at(0.25).from, 12);
    EXPECT_NEAR(at(0.25).blend, 0.5, 1e-9);
    // 0.4 s: the last frame, blending into the loop's first (13).
    EXPECT_EQ(at(0.45).from, 14);
    EXPECT_EQ(at(0.45).to, 13);
    EXPECT_EQ(at(0.55).from, 13);
    EXPECT_EQ(at(0.65).from, 14);
    EXPECT_TRUE(at(1e9).from == 13 || at(1e9).from == 14);
    a.looping = 0; // holds the last
    EXPECT_EQ(at(0.45).from, 14);
    EXPECT_EQ(at(0.45).to, 14);
    EXPECT_EQ(at(0.45).blend, 0);
    EXPECT_EQ(at(100).from, 14);
    a.reversed = true;
    EXPECT_EQ(at(0).from, 14);
    EXPECT_EQ(at(0.15).from, 13);
    EXPECT_EQ(at(5).from, 10);
    // 15 frames a second is a frame every 66 ms, as the game counts it.
    Animation b{"b", Animation::Part::Whole, 0, 100, 0, 15, false};
    EXPECT_EQ(FrameAtTime(b, 0.66).from, 10);
    EXPECT_EQ(FrameAtTime(b, 0.659).from, 9);
    // Hostile times and speeds stay within the animation.
    for (const double t : {-1.0, std::nan(""), -1e300})
        EXPECT_EQ(FrameAtTime(b, t).from, 0) << t;
    EXPECT_EQ(FrameAtTime(b, 1e300).from, 99);
    b.fps = 0;
    EXPECT_EQ(FrameAtTime(b, 2.5).from, 2);
    b.frames = 0;
    EXPECT_EQ(FrameAtTime(b, 7).from, 0);
}

TEST(Animations, AnIqmNamesItsOwn) {
    const fs::path guy = fs::path(GW_MODEL_CORPUS) / "iqm/guy/models/iqm/guy.iqm";
    if (!fs::exists(guy))
        GTEST_SKIP() << "the shared IQM is not here";
    const Outcome run = Cli({"--animations", guy.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "jump\t0\t61\t0\t24\ndance\t61\t61\t0\t24\n");
}

TEST(Animations, AnMd5MeshPlaysTheAnimationFilesBesideIt) {
    const fs::path mesh =
        fs::path(GW_MODEL_CORPUS) /
        "md5/blade2/packages/models/mapmodels/svarog/blade2/tau0/mapmodel.md5mesh";
    if (!fs::exists(mesh))
        GTEST_SKIP() << "the shared MD5 is not here";
    const Outcome run = Cli({"--animations", mesh.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "mapmodel\t0\t12\t12\t24\n");
}

TEST(FrameGroups, EveryRuleOfTheEngine) {
    const std::string text = "// a group a line, named in a comment\r\n"      // 1
                             "0 10 // idle\r\n"                               // 2
                             "\n"                                             // 3
                             "10 5 15 0 walk extra words // not its name\n"   // 4
                             "15\n"                                           // 5
                             "/* a block\n"                                   // 6
                             " comment */ 20 6 30 1\n"                        // 7
                             "30 0 -4 // hostile\n"                           // 8
                             "-7 99999999999 nan 1 \"\" //   spaced name  \n" // 9
                             "40 2 0.5 7 \"a\x01"                             // 10
                             "b\"\n"                                          // 10
                             "50 3 2.5e1 1 \"two\n"                           // 11
                             "lines\"\n"                                      // 12
                             "60 4";                                          // 13
    const Result<FrameGroups> parsed = ParseFrameGroups(text);
    ASSERT_TRUE(parsed.ok()) << parsed.error().reason;
    const std::vector<Animation>& g = parsed.value().animations;
    auto line = [&](const Animation& a) {
        return a.name + " " + std::to_string(a.first) + " " + std::to_string(a.frames) + " " +
               std::to_string(a.looping) + " " + std::to_string(a.fps);
    };
    std::vector<std::string> lines;
    for (const Animation& a : g) {
        EXPECT_EQ(a.part, Animation::Part::Whole) << a.name;
        lines.push_back(line(a));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "idle 0 10 10 20.000000",   // fps 20 and looping by default
                         "walk 10 5 0 15.000000",    // the name token beats the comment
                         "group 2 20 6 6 30.000000", // the block joins its lines; unnamed
                         "hostile 30 1 1 1.000000", "spaced name 0 2147483647 2147483647 1.000000",
                         "a b 40 2 2 1.000000", // below 1 fps plays at 1; any loop flag but 0
                         "two lines 50 3 3 25.000000", // a quoted name runs across lines
                         "group 7 60 4 4 20.000000",   // the last line needs no line end
                     }));
    const std::vector<std::string>& notes = parsed.value().notes;
    ASSERT_EQ(notes.size(), 7u) << ::testing::PrintToString(notes);
    EXPECT_EQ(notes[0], "line 4: \"walk\" is followed by more than its name, which is not read");
    EXPECT_EQ(notes[1],
              "line 5: \"15\" is not followed by a number of frames; the line is skipped");
    EXPECT_EQ(notes[2], "line 8: \"hostile\" has 0 frames; it has 1");
    EXPECT_EQ(notes[3], "line 8: \"hostile\" plays at \"-4\" frames a second; it plays at 1");
    EXPECT_EQ(notes[4], "line 9: \"spaced name\" starts at frame -7; it starts at 0");
    EXPECT_EQ(notes[5], "line 9: \"spaced name\" has 99999999999 frames; it has 2147483647");
    EXPECT_EQ(notes[6], "line 9: \"spaced name\" plays at \"nan\" frames a second; it plays at 1");

    // Bounds: a name at most 63 bytes, no UTF-8 character cut; groups past
    // the most read; a longer file refused; nothing read past a NUL.
    const Result<FrameGroups> longName =
        ParseFrameGroups("0 1 20 1 " + std::string(62, 'x') + "\xc3\xa9");
    ASSERT_TRUE(longName.ok());
    EXPECT_EQ(longName.value().animations.at(0).name, std::string(62, 'x'));
    std::string many;
    for (size_t i = 0; i <= kMaxFrameGroups; ++i)
        many += "0 1\n";
    const Result<FrameGroups> capped = ParseFrameGroups(many);
    ASSERT_TRUE(capped.ok());
    EXPECT_EQ(capped.value().animations.size(), kMaxFrameGroups);
    ASSERT_EQ(capped.value().notes.size(), 1u);
    EXPECT_NE(capped.value().notes[0].find("line 4097"), std::string::npos);
    EXPECT_FALSE(ParseFrameGroups(std::string(kMaxFrameGroupsBytes + 1, '\n')).ok());
    const Result<FrameGroups> nul = ParseFrameGroups(std::string("0 5\n\0 1\n", 8));
    ASSERT_TRUE(nul.ok());
    EXPECT_EQ(nul.value().animations.size(), 1u);
    EXPECT_EQ(nul.value().notes.size(), 1u);
    const Result<FrameGroups> empty = ParseFrameGroups("// nothing\n\n/* */");
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty.value().animations.empty());
    std::string countless;
    for (int i = 0; i < 1000; ++i)
        countless += "5\n";
    const Result<FrameGroups> noted = ParseFrameGroups(countless + "0 1 1e39");
    ASSERT_TRUE(noted.ok());
    ASSERT_EQ(noted.value().animations.size(), 1u);
    EXPECT_EQ(noted.value().animations[0].fps, 1); // beyond the engine's float
    ASSERT_EQ(noted.value().notes.size(), 101u);
    EXPECT_EQ(noted.value().notes.back(), "901 more notes are not listed");

    // Speeds are read alike where the window's locale writes "2,5".
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (SetDecimalCommaLocale()) {
        const Result<FrameGroups> local = ParseFrameGroups("0 1 2.5");
        std::setlocale(LC_ALL, before.c_str());
        ASSERT_TRUE(local.ok());
        EXPECT_EQ(local.value().animations.at(0).fps, 2.5);
    }
}

// MODEL.framegroups beside a model replaces what the model names, found
// without regard to case; one that cannot be read or holds no group leaves
// the model's own; a player's part keeps its animation.cfg.
TEST(FrameGroups, ReplaceTheModelsOwnAnimations) {
    const fs::path mdl = fs::path(GW_MODEL_CORPUS) / "mdl/player/progs/player.mdl";
    const fs::path casey = fs::path(GW_MODEL_CORPUS) / "md3/casey/models/players/casey";
    if (!fs::exists(mdl) || !fs::exists(casey / "lower.md3"))
        GTEST_SKIP() << "the shared models are not here";
    TempDir game;
    fs::create_directories(game.path() / "progs");
    const std::string model = game.File("progs/player.mdl");
    fs::copy_file(mdl, model);
    const std::string own = "frame\t0\t143\t143\t10\n";
    ASSERT_EQ(Cli({"--animations", model}).out, own);

    const std::string groups = game.File("progs/PLAYER.MDL.framegroups");
    WriteWholeFile(groups, "0 6 10 1 // stand\n6 6 // run\n140 10 10 0 past\n");
    Outcome run = Cli({"--animations", model});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "stand\t0\t6\t6\t10\nrun\t6\t6\t6\t20\npast\t140\t10\t0\t10\n");
    EXPECT_NE(run.err.find("progs/player.mdl.framegroups: past asks for frames 140 to 149 of a "
                           "model with 143"),
              std::string::npos)
        << run.err;

    WriteWholeFile(groups, std::string(kMaxFrameGroupsBytes + 1, ' '));
    run = Cli({"--animations", model});
    EXPECT_EQ(run.out, own);
    EXPECT_NE(run.err.find("longer than"), std::string::npos) << run.err;
    WriteWholeFile(groups, "// no group\n12\n");
    run = Cli({"--animations", model});
    EXPECT_EQ(run.out, own);
    EXPECT_NE(run.err.find("holds no group"), std::string::npos) << run.err;

    const fs::path folder = game.path() / "models/players/casey";
    fs::create_directories(folder);
    for (const char* file : {"lower.md3", "animation.cfg"}) {
        fs::copy_file(casey / file, folder / file);
        // The shared files are read-only, and on Windows a copy keeps that
        // and cannot be removed.
        fs::permissions(folder / file, fs::perms::owner_write, fs::perm_options::add);
    }
    WriteWholeFile((folder / "lower.md3.framegroups").make_preferred().string(), "0 1 // one\n");
    run = Cli({"--animations", (folder / "lower.md3").make_preferred().string()});
    EXPECT_NE(run.out.find("\nLEGS_RUN\t5\t1\t0\t30\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("lower.md3.framegroups is not read: a player's part follows "
                           "models/players/casey/animation.cfg"),
              std::string::npos)
        << run.err;
    fs::remove(folder / "animation.cfg");
    EXPECT_EQ(Cli({"--animations", (folder / "lower.md3").make_preferred().string()}).out,
              "one\t0\t1\t1\t20\n");
}

// The window runs in the painter's locale, where "12.5" may not be a number
// to strtod; the file's speeds are read as the game reads them.
TEST(AnimationConfig, SpeedsAreReadAlikeInEveryLocale) {
    std::string text = Lines(2);
    text.replace(text.find("0\t2\t0\t20"), 8, "0\t2\t0\t12.5");
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!SetDecimalCommaLocale())
        GTEST_SKIP() << "no locale that writes a decimal comma";
    const Result<PlayerAnimations> parsed = ParseAnimationConfig(text);
    std::setlocale(LC_ALL, before.c_str());
    ASSERT_TRUE(parsed.ok()) << parsed.error().reason;
    EXPECT_EQ(parsed.value().animations.at(0).fps, 12.5);
}

// A mesh opened by itself reads the animation files beside it: what fits
// its joints plays, what does not (another skeleton, a file cut short, one
// that is no animation) is a note, and the model opens all the same.
TEST(Animations, AnMd5MeshReadsTheAnimationFilesBesideIt) {
    const TempDir dir;
    const fs::path folder = dir.path() / "base/models/arm";
    fs::create_directories(folder);
    const std::string bend = kMd5Bend;
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    };
    write("arm.md5mesh", kMd5Arm);
    write("bend.md5anim", bend);
    write("Wave.MD5ANIM", bend); // found in any case, named as the game lists it
    write("cut.md5anim", bend.substr(0, bend.size() / 2));
    write("other.md5anim", std::string(bend).replace(bend.find("\"child\""), 7, "\"hand\""));
    write("empty.md5anim", "");
    fs::create_directories(folder / "more");
    write("more/deeper.md5anim", bend); // not beside it
    const std::string mesh = (folder / "arm.md5mesh").make_preferred().string();

    const Result<OpenedModel> opened = OpenModel(mesh, {});
    ASSERT_TRUE(opened.ok()) << opened.error().Message();
    const Model& model = opened.value().model;
    ASSERT_EQ(model.animations.size(), 2u);
    EXPECT_EQ(model.animations[0].name, "bend");
    EXPECT_EQ(model.animations[1].name, "wave");
    EXPECT_EQ(model.animations[1].first, 2);
    EXPECT_EQ(FrameCountOf(model), 4);
    // Frame 1 of the second: the root risen 3, the child's (5 0 0) at (0 -5 0).
    const SurfaceFrame bent = FrameOf(model, 0, 3);
    ASSERT_EQ(bent.positions.size(), 4u);
    EXPECT_NEAR(bent.positions[1][0], 10, 1e-5);
    EXPECT_NEAR(bent.positions[1][1], -5, 1e-5);
    EXPECT_NEAR(bent.positions[1][2], 3, 1e-5);
    std::string notes;
    for (const std::string& note : model.notes)
        notes += note + "\n";
    // Cut in half, its counts ask for more than is left.
    EXPECT_EQ(notes, "models/arm/cut.md5anim: line 6: 2 frames of 2 components and 2 joints "
                     "take at least 94 bytes, more than the 70 bytes after it\n"
                     "models/arm/empty.md5anim: it does not start with \"MD5Version\", so it "
                     "is not a Doom 3 animation\n"
                     "the animation \"other\" is left out: its joint 1 is \"hand\", and the "
                     "mesh's is \"child\"\n");

    const Result<ModelAnimations> found =
        AnimationsOf(model, *opened.value().game.files, opened.value().game.gamePath);
    ASSERT_TRUE(found.ok());
    EXPECT_EQ(found.value().source, "the .md5anim files beside it");
    EXPECT_EQ(found.value().animations.size(), 2u);

    const Outcome run = Cli({"--animations", mesh});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "bend\t0\t2\t2\t30\nwave\t2\t2\t2\t30\n");
    EXPECT_NE(run.err.find("note: the animation \"other\" is left out"), std::string::npos)
        << run.err;
}
