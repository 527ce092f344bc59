// `korva demo`, `korva scan`, `korva build`, `korva preview` and `korva play` run end to end: the exit
// statuses a script relies on, and the files they leave behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CommandRun.h"
#include "TempDir.h"

namespace fs = std::filesystem;
using korva::test::TempDir;
using korva::test::Quote;
using korva::test::ReadText;

namespace {

using Outcome = korva::test::CommandRun;

Outcome Korva(const std::string& args) { return korva::test::RunCommand(std::string(KORVA_EXE) + " " + args); }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The run's exit status, and a text its output holds; `what` names the case.
void ExpectRun(const Outcome& run, int status, const std::string& says, const std::string& what = "") {
  EXPECT_EQ(run.status, status) << what << ": " << run.out;
  EXPECT_TRUE(Has(run.out, says)) << what << ": " << run.out;
}

// The texts of every element of an XML file, as Python's strict parser (expat)
// reads them, in JSON: ["ROMPath text", "Filename text", ...]; or its error.
std::string StrictXmlTexts(const std::string& path) {
  return korva::test::RunCommand(
             "python3 -c 'import json, sys, xml.etree.ElementTree as E; "
             "print(json.dumps([e.text for e in E.parse(sys.argv[1]).iter() if e.text and e.text.strip()]))' " +
             Quote(path))
      .out;
}

// The bundled demo in a fresh directory: sixteen games, korva_db.xml,
// demo.korva and its three images.
struct Demo {
  TempDir dir;
  Demo() {
    const Outcome run = Korva("demo " + Quote(dir.path()));
    EXPECT_EQ(run.status, 0) << run.out;
  }
  std::string Path(const std::string& name) const { return dir.path() + name; }
  std::string Db() const { return " --db " + Quote(Path("korva_db.xml")); }
  std::string Project() const { return Quote(Path("demo.korva")); }
  std::string Args() const { return Project() + Db(); }  // the project and its database
  std::string Roms() const { return Quote(Path("roms")); }
  // korva run in the demo's directory, with arguments relative to it.
  Outcome Here(const std::string& args) const {
    return korva::test::RunCommand("cd " + Quote(dir.path()) + " && " + KORVA_EXE + " " + args);
  }
  static constexpr const char* kImages[] = {"demo-prg.bin", "demo-chr.bin", "demo-instrom.bin"};
  void RemoveImages() const { for (const char* name : kImages) fs::remove(Path(name)); }
};

// Sets the prefix that runs a command as a user bound by file permissions (root reads any file: then
// nobody); false when that user cannot run korva.
bool AsOtherUser(std::string& as) {
  as = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  return korva::test::RunCommand(as + KORVA_EXE + " --help").status == 0;
}

}  // namespace

TEST(KorvaBuild, RebuildsTheDemoImagesByteForByteAndExitsZero) {
  Demo demo;
  const std::size_t sizes[] = {512u * 1024u, 512u * 1024u, 128u * 1024u};  // PRG, CHR, instruction ROM
  std::string images[3];
  for (int i = 0; i < 3; ++i) {
    images[i] = ReadText(demo.Path(Demo::kImages[i]));
    ASSERT_EQ(images[i].size(), sizes[i]) << Demo::kImages[i];
  }
  demo.RemoveImages();
  const Outcome run = Korva("build " + demo.Args());
  EXPECT_EQ(run.status, 0) << run.out;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadText(demo.Path(Demo::kImages[i])), images[i]) << Demo::kImages[i];
}

TEST(KorvaBuild, RefusesAMissingProjectAsAWrongCommandLine) {
  ExpectRun(Korva("build"), 2, "usage: korva build");  // two projects: "build x y" among every command's wrong lines
}

TEST(KorvaScan, OneThreadAndTheDefaultWriteTheSameDatabase) {
  Demo demo;
  const Outcome one = Korva("scan " + demo.Roms() + " --db " + Quote(demo.Path("one.xml")) + " --threads 1");
  ASSERT_EQ(one.status, 0) << one.out;
  EXPECT_TRUE(Has(one.out, "Finished scanning, 16 compatible roms found")) << one.out;
  EXPECT_TRUE(Has(one.out, "\nKept: 16 compatible ROMs\nIncompatible: 0\nDuplicates: 0\n")) << one.out;
  const Outcome two = Korva("scan " + demo.Roms() + " --db " + Quote(demo.Path("two.xml")));
  ASSERT_EQ(two.status, 0) << two.out;
  EXPECT_EQ(ReadText(demo.Path("one.xml")), ReadText(demo.Path("two.xml")));
}

TEST(KorvaScan, RefusesABadThreadCountAndAMissingDirectory) {
  TempDir dir;
  for (const char* bad : {"0", "17", "x", "-1"})
    ExpectRun(Korva("scan " + Quote(dir.path()) + " --db " + Quote(dir.path() + "db.xml") + " --threads " + bad), 2, "--threads", bad);
  ExpectRun(Korva("scan " + Quote(dir.path() + "nothing-here") + " --db " + Quote(dir.path() + "db.xml")), 1, "Invalid path: ");
  EXPECT_FALSE(fs::exists(dir.path() + "db.xml"));
}

TEST(KorvaScan, RomPathIsTheFullNormalPathAndAnEmptyDirectoryIsRefused) {
  Demo demo;
  Outcome run = demo.Here("scan ./roms/../roms --db rel.xml");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(StrictXmlTexts(demo.Path("rel.xml")), "[\"" + demo.Path("roms/") + "\", ")) << run.out;
  // LINK/../x is the x beside the link's target, as the system finds it.
  fs::create_directories(demo.Path("elsewhere/inner"));
  fs::create_directories(demo.Path("elsewhere/roms"));
  fs::create_directory_symlink(demo.Path("elsewhere/inner"), demo.Path("link"));
  run = Korva("scan " + Quote(demo.Path("link/../roms")) + " --db " + Quote(demo.Path("link.xml")));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "Kept: 0 compatible ROMs")) << run.out;
  EXPECT_TRUE(Has(StrictXmlTexts(demo.Path("link.xml")), "[\"" + demo.Path("elsewhere/roms/") + "\"]")) << run.out;
  const Outcome empty = Korva("scan '' --db " + Quote(demo.Path("empty.xml")));
  EXPECT_EQ(empty.status, 1) << empty.out;
  EXPECT_FALSE(fs::exists(demo.Path("empty.xml")));
}

TEST(KorvaScan, FewerThanHalfTheRomsIsRefusedUnlessForced) {
  Demo demo;
  TempDir empty;
  const std::string db = demo.Path("korva_db.xml");
  const std::string before = ReadText(db);
  Outcome run = Korva("scan " + Quote(empty.path()) + " --db " + Quote(db));
  ExpectRun(run, 1, "Kept: 0 compatible ROMs");
  EXPECT_TRUE(Has(run.out, "fewer than half of its 16. Run again with --force to replace it.")) << run.out;
  EXPECT_EQ(ReadText(db), before);
  run = Korva("scan " + Quote(empty.path()) + " --db " + Quote(db) + " --force");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(StrictXmlTexts(db), "[\"" + empty.path() + "\"]")) << ReadText(db);
}

TEST(KorvaScan, SubfoldersAreNamedUnderRomPathAndBuildListAndShowFindThem) {
  Demo demo;
  fs::create_directories(demo.Path("roms/more/deeper"));
  for (const char* name : {"rocket-rally.nes", "mole-patrol.nes"}) fs::rename(demo.Path("roms/") + name, demo.Path("roms/more/deeper/") + name);
  const std::string db = demo.Db();
  Outcome run = Korva("scan " + demo.Roms() + db);
  EXPECT_TRUE(Has(run.out, "Kept: 14 compatible ROMs")) << run.out;
  run = Korva("scan " + demo.Roms() + db + " --recursive");
  ExpectRun(run, 0, "Kept: 16 compatible ROMs");
  EXPECT_TRUE(Has(ReadText(demo.Path("korva_db.xml")), "<Filename>more/deeper/rocket-rally.nes</Filename>"));
  run = Korva("list" + db);
  EXPECT_TRUE(Has(run.out, "more/deeper/rocket-rally")) << run.out;
  EXPECT_FALSE(Has(run.out, "out of sync")) << run.out;
  ExpectRun(Korva("show " + demo.Project() + db), 0, "more/deeper/mole-patrol");
  const std::string prg = ReadText(demo.Path("demo-prg.bin"));
  fs::remove(demo.Path("demo-prg.bin"));
  run = Korva("build " + Quote(demo.Path("demo.korva")) + db);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ReadText(demo.Path("demo-prg.bin")), prg);
}

TEST(KorvaScan, NamesAreStoredSoAStrictParserReadsThemBackOrLeftOut) {
  Demo demo;
  fs::rename(demo.Path("roms/rocket-rally.nes"), demo.Path("roms/rocket\rrally.nes"));
  for (const char* bad : {"\xff.nes", "bell\x07.nes"}) fs::copy_file(demo.Path("roms/mole-patrol.nes"), demo.Path("roms/") + bad);
  ExpectRun(Korva("scan " + demo.Roms() + " --db " + Quote(demo.Path("names.xml"))), 0, "Names that cannot be stored: 2");
  EXPECT_TRUE(Has(StrictXmlTexts(demo.Path("names.xml")), "\"rocket\\rrally.nes\"")) << ReadText(demo.Path("names.xml"));
  const Outcome list = Korva("-v list --db " + Quote(demo.Path("names.xml")));
  ExpectRun(list, 0, "Loaded KORVA Game Database, 16 ROMs");
  EXPECT_FALSE(Has(list.out, "out of sync")) << list.out;
}

TEST(KorvaBuild, TemplatesAreTakenOnlyWhenNamedAndTheMessageNamesTheRealDirectory) {
  Demo demo;
  std::ofstream(demo.Path("menurom.bin")) << "xyz";  // a stray file in the working directory
  const std::string build = "build demo.korva --db korva_db.xml";
  Outcome run = demo.Here(build);
  ExpectRun(run, 0, "exported to project directory!\n\n" + demo.dir.path() + "\n");
  EXPECT_FALSE(Has(run.out, "(menu program")) << run.out;
  ExpectRun(demo.Here(build + " --menu-template menurom.bin"), 1, "The menu program template (menurom.bin) is 3 bytes");
  run = demo.Here(build + " --inst-template");
  EXPECT_EQ(run.status, 2) << run.out;
}

TEST(KorvaBuild, TheSavedProjectIsStrictXmlAlsoFromATitleWithAControlCharacter) {
  Demo demo;
  std::string project = ReadText(demo.Path("demo.korva"));
  const auto at = project.find("ROCKET RALLY<");
  ASSERT_NE(at, std::string::npos);
  project.insert(at + 12, "&#03;");  // as an older build wrote it
  std::ofstream(demo.Path("demo.korva"), std::ios::binary) << project;
  const Outcome run = Korva("build " + demo.Args());
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(StrictXmlTexts(demo.Path("demo.korva")), "\"ROCKET RALLY\"")) << ReadText(demo.Path("demo.korva"));
}

TEST(KorvaList, ADatabaseThatCannotBeReadGivesTheSystemsReason) {
  Demo demo;
  fs::permissions(demo.dir.path(), fs::perms::all);  // reachable, but korva_db.xml itself not readable
  fs::permissions(demo.Path("korva_db.xml"), fs::perms::none);
  std::string as;
  if (!AsOtherUser(as)) GTEST_SKIP() << "cannot run as another user";
  ExpectRun(korva::test::RunCommand(as + KORVA_EXE + " list --db " + Quote(demo.Path("korva_db.xml"))), 1, "Permission denied");
}

TEST(KorvaCommands, DataGoesToStdoutEverythingElseToStderrAndEveryCommandHasHelp) {
  Outcome run = korva::test::RunCommand(std::string(KORVA_EXE) + " --help", false);
  EXPECT_TRUE(Has(run.out, "scan DIR [--db PATH] [--threads N] [--recursive] [--force]")) << run.out;
  for (const char* command : {"info -h", "scan x --help", "list -h", "show -h", "build x --help", "demo -h", "preview -h",
                              "verify -h", "new -h", "set x --help", "slot -h", "randomize -h"}) {
    run = korva::test::RunCommand(std::string(KORVA_EXE) + " " + command, false);
    EXPECT_EQ(run.status, 0) << command << ": " << run.out;
    EXPECT_EQ(run.out.rfind("usage: korva " + std::string(command).substr(0, 4), 0), 0u) << run.out;
  }
  // A wrong command line is exit status 2 for every command, with its usage on stderr.
  for (const char* command : {"info --bogus x.nes", "scan x --bogus", "list x", "show x --bogus", "build x y",
                              "preview x --bogus", "demo a b", "verify x --bogus", "new", "set x", "slot x 3",
                              "randomize x --bogus", "bogus", "-q"})
    ExpectRun(Korva(command), 2, "usage: korva", command);

  Demo demo;
  const std::string db = demo.Db();
  run = korva::test::RunCommand(std::string(KORVA_EXE) + " scan " + demo.Roms() + db, false);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  run = korva::test::RunCommand(std::string(KORVA_EXE) + " list" + db, false);
  EXPECT_TRUE(run.out.rfind("ROMPath: ", 0) == 0 && !Has(run.out, "Loaded KORVA")) << run.out;
  run = korva::test::RunCommand(std::string(KORVA_EXE) + " show " + Quote(demo.Path("demo.korva")) + db, false);
  EXPECT_EQ(run.out.rfind("Project:    ", 0), 0u) << run.out;
  // The table's seventeen lines line up: all as long as the header.
  std::istringstream table(run.out.substr(run.out.find("Slot  ")));
  std::string header, line;
  std::getline(table, header);
  for (int n = 1; n <= 16 && std::getline(table, line); ++n) EXPECT_EQ(line.size(), header.size()) << line;
}

// Each program as the build tree has it and as it is installed: a copy in a
// writable directory of its own, scanning with no --db. The build tree's
// keeps the database beside itself; the installed one never writes into its
// own directory, even when it could, and uses $XDG_DATA_HOME/korva.
TEST(KorvaDatabasePlace, BuildTreeProgramBesideItselfInstalledProgramInTheUserDataDirectory) {
  Demo demo;
  const struct {
    const char* exe;
    bool beside;
  } cases[] = {{KORVA_EXE, true}, {KORVA_INSTALLED_EXE, false}};
  for (const auto& c : cases) {
    TempDir dir;
    fs::create_directories(dir.path() + "bin");
    fs::copy_file(c.exe, dir.path() + "bin/korva");
    const Outcome run = korva::test::RunCommand("XDG_DATA_HOME=" + Quote(dir.path() + "data") + " " +
                                                Quote(dir.path() + "bin/korva") + " scan " + demo.Roms());
    ASSERT_EQ(run.status, 0) << c.exe << ": " << run.out;
    EXPECT_EQ(fs::exists(dir.path() + "bin/korva_db.xml"), c.beside) << c.exe;
    EXPECT_EQ(fs::exists(dir.path() + "data/korva/korva_db.xml"), !c.beside) << c.exe;
  }
}

// --version for every program, and the window's --help and -h, without a
// display to connect to.
TEST(KorvaVersion, EveryProgramPrintsItsBuildWithoutADisplay) {
  const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ";
  for (const char* exe : {KORVA_EXE, KORVA_INSTALLED_EXE, KORVA_BUILDER_EXE}) {
    if (exe[0] == '\0') continue;  // built without the window
    const Outcome run = korva::test::RunCommand(noDisplay + Quote(exe) + " --version");
    EXPECT_EQ(run.status, 0) << exe << ": " << run.out;
    EXPECT_EQ(run.out, "KORVA Builder [Build 12]\n") << exe;
  }
  if (std::string(KORVA_BUILDER_EXE).empty()) return;
  for (const char* help : {"--help", "-h", "x.korva -h"}) {
    const Outcome run = korva::test::RunCommand(noDisplay + Quote(KORVA_BUILDER_EXE) + " " + help);
    EXPECT_EQ(run.status, 0) << help << ": " << run.out;
    EXPECT_EQ(run.out.rfind("usage: korva-builder [PROJECT.korva] [--db PATH]\n", 0), 0u) << help << ": " << run.out;
    EXPECT_TRUE(Has(run.out, "--db PATH")) << run.out;
  }
  ExpectRun(korva::test::RunCommand("QT_QPA_PLATFORM=offscreen " + Quote(KORVA_BUILDER_EXE) + " -x"), 2, "unknown option -x");
}

namespace {

// The width and height in a PNG file's header.
std::pair<unsigned, unsigned> PngSize(const std::string& png) {
  const auto word = [&](std::size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
  return {word(16), word(20)};
}

}  // namespace

TEST(KorvaPreview, WritesTheMenuBesideTheProjectOrWhereToldAtTheScaleAsked) {
  Demo demo;
  const std::string args = demo.Args();
  Outcome run = Korva("preview " + args);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(PngSize(ReadText(demo.Path("demo-menu.png"))), std::make_pair(256u, 240u));
  run = Korva("preview " + args + " --scale 3 -o " + Quote(demo.Path("big.png")));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(PngSize(ReadText(demo.Path("big.png"))), std::make_pair(768u, 720u));
  for (const char* bad : {"--scale 0", "--scale 9", "--scale x", "--scale 12", "--palette RGB", "--palette pal"})
    ExpectRun(Korva("preview " + args + " " + bad), 2, std::string(bad).substr(0, 7), bad);
}

// The arcade's colours unless told otherwise; our menu draws nothing the
// arcade shows otherwise, a template with colour $2D is told on stderr.
TEST(KorvaPreview, DrawsTheArcadesColoursAndSaysWhatTheArcadeLacks) {
  Demo demo;
  const std::string args = demo.Args();
  Outcome run = Korva("preview " + args);
  EXPECT_TRUE(Has(run.out, "Menu preview (PlayChoice-10 (RGB)) written to")) << run.out;
  EXPECT_FALSE(Has(run.out, "RGB PPU")) << run.out;
  const std::string rgb = ReadText(demo.Path("demo-menu.png"));
  run = Korva("preview " + args + " --palette ntsc");
  EXPECT_TRUE(Has(run.out, "Menu preview (NES (NTSC)) written to")) << run.out;
  EXPECT_NE(ReadText(demo.Path("demo-menu.png")), rgb);

  std::string menu = ReadText(KORVA_MENUROM);
  const std::size_t layout = 10 + 0x3000;
  const unsigned palettes = static_cast<unsigned char>(menu[layout + 16]) | (static_cast<unsigned char>(menu[layout + 17]) << 8);
  menu[10 + palettes - 0xC000 + 2] = 0x2D;
  std::ofstream(demo.Path("grey.bin"), std::ios::binary) << menu;
  ExpectRun(Korva("preview " + args + " --menu-template " + Quote(demo.Path("grey.bin"))), 0,
            "korva preview: Palette entry $3F02 (background palette 0, colour 2) is colour $2D, which "
            "the arcade's RGB PPU does not have");
}

// Whatever `korva build` refuses (exit status 1, its message saying what the row says; @ is the demo's
// directory), `korva preview` and `korva play` refuse with the same words and exit status, and none
// writes anything.
TEST(KorvaPreview, RefusesWhatBuildRefusesWithTheSameMessages) {
  const struct {
    const char* what;
    std::string (*setUp)(const Demo&);  // the arguments after the command
    std::vector<std::string> says;
  } cases[] = {
      {"no project file", [](const Demo& d) { return Quote(d.Path("none.korva")) + d.Db(); }, {"Cannot open"}},
      {"no ROM database", [](const Demo& d) { return d.Project() + " --db " + Quote(d.Path("none.xml")); },
       {"there is no ROM database file", "the project's directory holds one: name it with --db @korva_db.xml"}},
      {"a game gone", [](const Demo& d) { fs::remove(d.Path("roms/rocket-rally.nes")); return d.Args(); }, {}},
      {"a game replaced after the scan", [](const Demo& d) {
         fs::copy_file(d.Path("roms/mole-patrol.nes"), d.Path("roms/rocket-rally.nes"), fs::copy_options::overwrite_existing);
         return d.Args();
       }, {}},
      {"a slot without a ROM", [](const Demo& d) {
         std::string project = ReadText(d.Path("demo.korva"));
         project.replace(project.find("CRC32=\"FD6C6B80\""), 17, "CRC32=\"00000000\"");
         std::ofstream(d.Path("demo.korva"), std::ios::binary) << project;
         return d.Args();
       }, {}},
  };
  for (const auto& c : cases) {
    Demo demo;
    demo.RemoveImages();
    const std::string args = c.setUp(demo);
    const Outcome build = Korva("build " + args);
    EXPECT_EQ(build.status, 1) << c.what << ": " << build.out;
    for (std::string text : c.says) {
      if (const auto at = text.find('@'); at != std::string::npos) text.replace(at, 1, demo.dir.path());
      EXPECT_TRUE(Has(build.out, text)) << c.what << ": " << build.out;
    }
    for (const char* name : Demo::kImages) EXPECT_FALSE(fs::exists(demo.Path(name))) << c.what << ", " << name;
    for (const std::string command : {"preview", "play"}) {
      const Outcome run = Korva(command + " " + args);
      EXPECT_EQ(run.status, build.status) << c.what << ", " << command << ": " << run.out;
      std::string expected = build.out;
      for (std::size_t at; (at = expected.find("korva build")) != std::string::npos;)
        expected.replace(at, 11, "korva " + command);
      EXPECT_EQ(run.out, expected) << c.what << ", " << command;
    }
    EXPECT_FALSE(fs::exists(demo.Path("demo-menu.png"))) << c.what;
    EXPECT_FALSE(fs::exists(demo.Path("demo-play.html"))) << c.what;
  }
}

namespace {

// The cartridge data of a play page: the text of its "prg" or "chr" field.
std::string PageImage(const std::string& page, const std::string& field) {
  const std::string key = "\"" + field + "\":\"";
  const std::size_t at = page.find(key);
  if (at == std::string::npos) return "";
  return page.substr(at + key.size(), page.find('"', at + key.size()) - at - key.size());
}

}  // namespace

// The page carries the very images `korva build` writes, needs nothing from
// outside, goes where -o says, and --open hands it to xdg-open.
TEST(KorvaPlay, WritesOneSelfContainedPageOfTheBuiltImages) {
  Demo demo;
  const std::string args = demo.Args();
  Outcome run = Korva("play " + args);
  ExpectRun(run, 0, "Play page written to " + demo.Path("demo-play.html"));
  const std::string page = ReadText(demo.Path("demo-play.html"));
  for (const char* image : {"prg", "chr"}) {
    const std::string file = demo.Path(std::string("demo-") + image + ".bin");
    EXPECT_EQ(PageImage(page, image), korva::test::RunCommand("base64 -w0 " + Quote(file), false).out) << image;
  }
  for (const char* outside : {"<script src", "<link", "<img", "@import", "sourceMappingURL", "@@KORVA"})
    EXPECT_FALSE(Has(page, outside)) << outside;
  EXPECT_TRUE(Has(page, "\"title\":\"KORVA DEMO\""));

  const std::string fake = demo.Path("bin");
  fs::create_directory(fake);
  std::ofstream(fake + "/xdg-open") << "#!/bin/sh\necho \"$1\" > " << Quote(demo.Path("opened.txt")) << "\n";
  fs::permissions(fake + "/xdg-open", fs::perms::owner_all);
  run = korva::test::RunCommand("PATH=" + Quote(fake) + ":\"$PATH\" " + KORVA_EXE + " play " + args + " -o " +
                                Quote(demo.Path("there.html")) + " --open");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ReadText(demo.Path("there.html")), page);
  for (int i = 0; i < 100 && !fs::exists(demo.Path("opened.txt")); ++i) usleep(20000);
  EXPECT_EQ(ReadText(demo.Path("opened.txt")), demo.Path("there.html") + "\n");

  // Never over one of the build's inputs.
  const std::string project = ReadText(demo.Path("demo.korva"));
  run = Korva("play " + args + " -o " + Quote(demo.Path("demo.korva")));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(ReadText(demo.Path("demo.korva")), project);

  ExpectRun(Korva("play " + args + " -o"), 2, "usage: korva play");
}

TEST(KorvaPreview, RefusesAMenuProgramWithoutOurLayout) {
  Demo demo;
  // Another board's template: the same layout of the file, but no layout
  // table where ours has it. Named, as for build; a stray one is not taken.
  std::string menu = ReadText(KORVA_MENUROM);
  ASSERT_EQ(menu.size(), 24586u);
  menu.replace(10 + 0x3000, 12, 12, '\xFF');
  std::ofstream(demo.Path("menurom.bin"), std::ios::binary) << menu;
  const std::string preview = "preview demo.korva --db korva_db.xml";
  Outcome run = demo.Here(preview);
  EXPECT_EQ(run.status, 0) << run.out;
  fs::remove(demo.Path("demo-menu.png"));
  run = demo.Here(preview + " --menu-template menurom.bin");
  ExpectRun(run, 1, "no layout we know");
  EXPECT_TRUE(Has(run.out, "came from menurom.bin")) << run.out;
  EXPECT_FALSE(fs::exists(demo.Path("demo-menu.png")));
}

// An output that is one of the inputs, by whatever name: refused, and
// nothing is written.
TEST(KorvaPreview, RefusesAnOutputThatIsAnInputOfTheBuild) {
  Demo demo;
  const struct {
    const char* output;  // relative to the demo directory
    const char* what;
  } cases[] = {
      {"demo.korva", "it is the project file"},
      {"roms/../korva_db.xml", "it is the ROM database"},
      {"./roms/rocket-rally.nes", "it is the ROM of slot 1"},
  };
  const std::string before = ReadText(demo.Path("korva_db.xml")) + ReadText(demo.Path("demo.korva")) +
                             ReadText(demo.Path("roms/rocket-rally.nes"));
  for (const auto& c : cases) ExpectRun(demo.Here(std::string("preview demo.korva --db korva_db.xml -o ") + c.output), 1, c.what, c.output);
  EXPECT_EQ(ReadText(demo.Path("korva_db.xml")) + ReadText(demo.Path("demo.korva")) +
                ReadText(demo.Path("roms/rocket-rally.nes")),
            before);
}

// The demo writes only into a new or empty directory, unless --force.
TEST(KorvaDemo, RefusesADirectoryThatHoldsAnythingUnlessForced) {
  const struct {
    const char* what;
    const char* args;  // after the directory
    bool written;
  } cases[] = {
      {"a project of the user's", "", false},
      {"the same, forced", " --force", true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::ofstream(dir.path() + "demo.korva") << "mine";
    const Outcome run = Korva("demo " + Quote(dir.path()) + c.args);
    EXPECT_EQ(run.status, c.written ? 0 : 1) << c.what << ": " << run.out;
    EXPECT_EQ(ReadText(dir.path() + "demo.korva") == "mine", !c.written) << c.what;
    EXPECT_EQ(fs::exists(dir.path() + "roms"), c.written) << c.what;
    if (!c.written) {
      EXPECT_TRUE(Has(run.out, "is not an empty directory")) << run.out;
    }
  }
  TempDir dir;
  std::ofstream(dir.path() + "plain") << "a file";
  for (const char* force : {"", " --force"})
    ExpectRun(Korva("demo " + Quote(dir.path() + "plain") + force), 1, "plain is a file, not a directory", force);
  EXPECT_EQ(ReadText(dir.path() + "plain"), "a file");
}

// korva verify on the demo's images: exit 0 only when all match; a changed
// byte names its slot or image; a dump of the wrong size is refused with
// the size expected.
TEST(KorvaVerify, SaysWhereAChipDiffersAndRefusesAWrongSize) {
  Demo demo;
  std::string chr = ReadText(demo.Path("demo-chr.bin"));
  chr[0x31A40] ^= 0x10;
  std::ofstream(demo.Path("read-chr.bin"), std::ios::binary) << chr;
  std::ofstream(demo.Path("short.bin"), std::ios::binary) << chr.substr(0, 262144);
  const struct {
    std::string args;
    int status;
    const char* says;
  } cases[] = {
      {"", 0, "All three images match the project."},
      {" --chr " + Quote(demo.Path("read-chr.bin")), 1, "CHR differs at CHR image 0x31A40"},
      {" --prg " + Quote(demo.Path("short.bin")), 1, "is 262144 bytes; a PRG image is 524288 bytes"},
  };
  for (const auto& c : cases) ExpectRun(Korva("verify " + demo.Args() + c.args), c.status, c.says, c.args);
}

// ---------------------------------------------------------------------------
// A cartridge from a script: new, set, slot and randomize, --json, -q and -v.

namespace {

// The demo set's games (tests/games/games.txt): slot, file stem, menu icon, title.
struct DemoGame {
  int slot;
  std::string stem;
  int icon;
  std::string title;
};

std::vector<DemoGame> DemoGames() {
  std::ifstream in(KORVA_GAMES_LIST);
  std::vector<DemoGame> games;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    DemoGame game;
    std::string prg, chr, mapper, mirroring;
    fields >> game.slot >> prg >> chr >> mapper >> mirroring >> game.icon >> game.stem >> std::ws;
    std::getline(fields, game.title);
    games.push_back(game);
  }
  return games;
}

// Runs a Python script (given as text) with arguments: its output and status.
Outcome Python(const TempDir& dir, const std::string& script, const std::string& args) {
  const std::string path = dir.path() + "check.py";
  std::ofstream(path) << script;
  return korva::test::RunCommand("python3 " + Quote(path) + " " + args);
}

}  // namespace

// The demo cartridge rebuilt from nothing but commands gives the demo's images.
TEST(KorvaScript, TheDemoCartridgeFromCommandsAloneGivesTheDemosImages) {
  Demo demo;
  TempDir script;
  const std::string project = Quote(script.path() + "cart.korva");
  const std::string db = demo.Db();
  Outcome run = Korva("new " + project);
  ASSERT_EQ(run.status, 0) << run.out;
  const char* const icons[] = {"none", "1-player", "2-player", "zapper"};
  const auto games = DemoGames();
  ASSERT_EQ(games.size(), 16u);
  for (const DemoGame& game : games) {
    run = Korva("slot " + project + " " + std::to_string(game.slot) + db + " --rom " + game.stem + " --title '" +
                game.title + "' --icon " + icons[game.icon]);
    ASSERT_EQ(run.status, 0) << game.stem << ": " << run.out;
  }
  run = Korva("set " + project + db + " --title 'Korva Demo' --line1 'CHOOSE A GAME' --line2 'PRESS START TO PLAY'");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "--title stored as \"KORVA DEMO\"")) << run.out;  // the filter's change, said
  run = Korva("-q build " + project + db);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "");  // -q: nothing but warnings and errors
  for (const char* image : {"-prg.bin", "-chr.bin", "-instrom.bin"})
    EXPECT_TRUE(ReadText(script.path() + "cart" + image) == ReadText(demo.Path(std::string("demo") + image))) << image;
  EXPECT_EQ(ReadText(script.path() + "cart.korva"), ReadText(demo.Path("demo.korva")));
}

// Bad input: a clear message, the documented status, and the file as it was.
TEST(KorvaScript, BadInputIsRefusedAndLeavesTheProjectAsItWas) {
  Demo demo;
  const std::string db = demo.Db();
  const std::string project = Quote(demo.Path("demo.korva"));
  const struct {
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {"slot " + project + " 17 --icon none" + db, 2, "the slot number is 1 to 16, not \"17\""},
      {"slot " + project + " 0 --icon none" + db, 2, "the slot number is 1 to 16"},
      {"slot " + project + " 3" + db, 2, "nothing to change"},
      {"slot " + project + " 3" + db + " --title", 2, "--title needs a value"},
      {"slot " + project + " 3 --icon joystick" + db, 2, "--icon takes one of none, 1-player, 2-player, zapper"},
      {"set " + project + " --icons 4-player" + db, 2, "--icons takes one of 1-player, 2-player, lightgun"},
      {"set " + project + " --colour red" + db, 2, "unknown option --colour"},
      {"slot " + project + " 3 --rom m" + db, 1,
       "--rom \"m\" could mean 2 ROMs; give the whole name or the CRC-32:\n  72CC972B  magma-miner\n  FD6C6B80  mole-patrol\n"},
      {"slot " + project + " 3 --rom zelda" + db, 1, "--rom \"zelda\" is not the name or CRC-32 of a ROM"},
      {"slot " + project + " 3 --rom e" + db, 1, "  C42A4D89  neon-ninja\n  and 6 more\n"},  // ten shown
      {"slot " + project + " 3 --title 'Duck, Hunt; 2'" + db, 1,
       "--title \"Duck, Hunt; 2\": \",\" and \";\" are not in the title character set"},
      {"set " + project + " --line1 'PLAYCHOICE-10 COLLECTION 2'" + db, 1, "26 characters, but the field holds at most 24"},
      {"set " + project + " --title 'say \xe2\x80\x9chi\xe2\x80\x9d'" + db, 1, ": '\"' is not in the title character set"},
      {"new " + project, 1, "already exists; add --force to replace it"},
      {"randomize " + project + " --seed -1" + db, 2, "--seed takes a whole number"},
      {"slot " + project + " 3 --icon none --db " + Quote(demo.Path("korva_db.xml.gone")), 1,
       "nothing was changed: the project is edited against the ROM database that holds its ROMs; there is no ROM "
       "database file"},
  };
  const std::string before = ReadText(demo.Path("demo.korva"));
  for (const auto& c : cases) {
    ExpectRun(Korva(c.args), c.status, c.says, c.args);
    EXPECT_EQ(ReadText(demo.Path("demo.korva")), before) << c.args;
  }
  // The slot whose ROM the database lacks may be given another: only then is the project saved.
  fs::remove(demo.Path("roms/rocket-rally.nes"));
  ASSERT_EQ(Korva("scan " + demo.Roms() + db).status, 0);
  EXPECT_EQ(Korva("slot " + project + " 2 --icon none" + db).status, 1);
  EXPECT_EQ(ReadText(demo.Path("demo.korva")), before);
  const Outcome replaced = Korva("slot " + project + " 1 --rom garden" + db);
  EXPECT_EQ(replaced.status, 0) << replaced.out;
  // The slot keeps its icon, as a missing ROM's slot does.
  EXPECT_TRUE(Has(ReadText(demo.Path("demo.korva")), "<ROM Slot=\"1\" CRC32=\"3C5A0BA9\" Icon=\"1\">GARDEN-GNOMES<"));
  // new --force replaces a project with the window's new one.
  EXPECT_EQ(Korva("new " + project + " --force --icons lightgun").status, 0);
  EXPECT_TRUE(Has(ReadText(demo.Path("demo.korva")), "<CartTitle>GAME PAK: VOLUME 1</CartTitle>\r\n  <Icons>2</Icons>"));
  const std::string after = ReadText(demo.Path("demo.korva"));

  // A project the user may not write to.
  fs::permissions(demo.dir.path(), fs::perms::all);
  fs::permissions(demo.Path("korva_db.xml"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(demo.Path("demo.korva"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::string as;
  if (!AsOtherUser(as)) GTEST_SKIP() << "cannot run as another user";
  for (const std::string& edit : {"set " + project + " --title NEW", "slot " + project + " 4 --rom mole"}) {
    const Outcome run = korva::test::RunCommand(as + KORVA_EXE + " " + edit + db);
    ExpectRun(run, 1, "Permission denied; nothing was written", edit);
    EXPECT_FALSE(Has(run.out, "from the ROM name")) << run.out;  // no title told that was not stored
    EXPECT_EQ(ReadText(demo.Path("demo.korva")), after);
  }
}

// What `korva show --json`, `korva list --json`, `korva info --json` and
// `korva verify --json` say is what their tables say.
TEST(KorvaScript, TheJsonOfShowListInfoAndVerifyAgreesWithTheirTables) {
  Demo demo;
  const std::string db = demo.Db();
  const std::string project = Quote(demo.Path("demo.korva"));
  const auto save = [&](const std::string& name, const std::string& args, int status = 0) {
    const Outcome run = korva::test::RunCommand(std::string(KORVA_EXE) + " " + args, false);
    EXPECT_EQ(run.status, status) << args;
    std::ofstream(demo.Path(name), std::ios::binary) << run.out;
    return Quote(demo.Path(name));
  };
  // The demo's images with one byte changed.
  {
    std::fstream chr(demo.Path("demo-chr.bin"), std::ios::in | std::ios::out | std::ios::binary);
    chr.seekp(200000);
    chr.put('\x01');  // inside slot 7's CHR
  }
  const std::string verify =
      save("verify.txt", "verify " + project + db, 1) + " " + save("verify.json", "verify " + project + db + " --json", 1);
  // A name with a quote, a backslash and an accent; an empty slot; a full-bank game in slot 1.
  fs::rename(demo.Path("roms/mole-patrol.nes"), demo.Path("roms/mole \"patrol\" \\ caf\xc3\xa9.nes"));
  ASSERT_EQ(Korva("scan " + demo.Roms() + demo.Db()).status, 0);
  ASSERT_EQ(Korva("slot " + project + " 2 --rom mole" + db).status, 0);
  ASSERT_EQ(Korva("slot " + project + " 5 --clear" + db).status, 0);
  ASSERT_EQ(Korva("slot " + project + " 3 --title ''" + db).status, 0);  // an empty title
  ASSERT_EQ(Korva("slot " + project + " 1 --rom castle-climber --icon zapper" + db).status, 0);

  const std::string files = save("show.txt", "show " + project + db) + " " +
                            save("show.json", "show " + project + db + " --json") + " " +
                            save("list.txt", "list" + db) + " " + save("list.json", "list" + db + " --json");
  // Sixteen full-bank games: past 512 KB, and no half-bank game.
  std::string full = "<KORVA-Project Ver=\"12\"><CartTitle>FULL</CartTitle><Icons>0</Icons><InstLine1/><InstLine2/>"
                     "<ROMSlots>";
  for (int n = 1; n <= 16; ++n) full += "<ROM Slot=\"" + std::to_string(n) + "\" CRC32=\"C282473A\" Icon=\"0\"/>";
  std::ofstream(demo.Path("full.korva")) << full + "</ROMSlots></KORVA-Project>\n";
  const std::string fullFiles = save("full.txt", "show " + Quote(demo.Path("full.korva")) + db) + " " +
                                save("full.json", "show " + Quote(demo.Path("full.korva")) + db + " --json");
  const std::string infoFiles = Quote(demo.Path("roms/castle-climber.nes")) + " " + Quote(demo.Path("gone.nes")) + " " +
                                Quote(demo.Path("roms/rocket-rally.nes"));
  const std::string infoJson = save("info.json", "info --json " + infoFiles, 1);
  const std::string info = save("info.txt", "info " + infoFiles, 1) + " " + infoJson;
  // Reads each table with patterns and checks every field against the JSON.
  const Outcome check = Python(demo.dir, R"PY(
import json, re, sys
show_text, show, list_text, roms = open(sys.argv[1]).read(), json.load(open(sys.argv[2])), open(sys.argv[3]).read(), json.load(open(sys.argv[4]))
def same(what, a, b):
    if a != b: sys.exit("%s: text %r, JSON %r" % (what, a, b))
assert roms["format"] == 1
up = lambda b: -(-b // 1024)
def check_show(show_text, show):
  same("format", show["format"], 1)
  c = show["cartridge"]
  head = dict(re.findall(r'^(\w+): +(.*)$', show_text, re.M))
  same("Project", head["Project"], show["project"])
  same("CartTitle", head["CartTitle"], '"%s"' % c["title"])
  same("Icons", head["Icons"], "%d (%s)" % (c["icons"], c["iconsName"]))
  same("InstLine1", head["InstLine1"], '"%s"' % c["line1"])
  same("InstLine2", head["InstLine2"], '"%s"' % c["line2"])
  rows = re.findall(r'^ +(\d+)  (\S+) +"(.*?)" +(No Icon|1-Player|2-Player|Zapper) +(.*?)(?: +(\d+) +(\d+) +(\d+))?$', show_text, re.M)
  same("slot count", len(rows), 16)
  for row, s in zip(rows, show["slots"]):
      n, crc, title, icon, rom, prg, chr_, half = row
      same("slot", int(n), s["slot"]); same("title", title, s["title"]); same("icon", icon, s["iconName"])
      r, p = s["rom"], s["placement"]
      if r is None:
          same("empty slot", (crc, rom, p), ("-", "(no ROM)", None)); continue
      same("crc32", crc, r["crc32"])
      same("the list's entry", {k: roms["roms"][r["index"]][k] for k in r}, r)
      same("rom", rom.rstrip(), "%s (PRG %dkb / CHR %dkb)" % (r["name"], r["prgBytes"] // 1024, r["chrBytes"] // 1024))
      same("banks", (int(prg), int(chr_), int(half)), (p["prgBank"], p["chrBank"], int(p["halfBank"])))
      same("offsets", (p["prgOffset"], p["chrOffset"]), (p["prgBank"] * 16384, p["chrBank"] * 8192))
  same("half-bank note", "No slot holds a half-bank game" not in show_text, show["halfBankGame"])
  same("Used", head["Used"], "PRG %d/512 KB  CHR %d/512 KB" % (up(show["prgUsedBytes"]), up(show["chrUsedBytes"])))
  for key, words in ("overflowSlot", "no longer fits into the images"), ("unusableSlot", "holds a game the cartridge cannot take"):
    same(key, [int(n) for n in re.findall(r'^Slot (\d+) ' + words, show_text, re.M)], [show[key]] if show[key] else [])
  same("buildable", "the build would be refused" not in show_text, show["buildable"])
  return show["overflowSlot"], show["buildable"]
check_show(show_text, show)
same("the full cartridge", check_show(open(sys.argv[9]).read(), json.load(open(sys.argv[10]))), (16, False))
same("ROMPath", list_text.splitlines()[0], "ROMPath: " + roms["romPath"])
lines = list_text.splitlines()[1:]
same("ROM count", len(lines), len(roms["roms"]))
kb = lambda b: "%dK" % (b // 1024) if b % 1024 == 0 else str(b)
for line, r in zip(lines, roms["roms"]):
    m = re.match(r'^ *(\d+)  ([0-9A-F]{8})  (.*?) +PRG +(\S+)  CHR +(\S+)  mapper +(\d+)  (\S*) *(.*)$', line)
    same("line", bool(m), True)
    index, crc, name, prg, chr_, mapper, mirroring, source = m.groups()
    same("index", int(index), r["index"]); same("crc32", crc, r["crc32"]); same("name", name, r["name"])
    same("sizes", (prg, chr_), (kb(r["prgBytes"]), kb(r["chrBytes"]))); same("mapper", int(mapper), r["mapper"])
    same("mirroring", mirroring, r["mirroring"]); same("source", source, r["source"])
    same("file", r["file"].rsplit(".", 1)[0], r["name"])
assert any(r["name"] == 'mole "patrol" \\ caf\u00e9' for r in roms["roms"]), "the odd name"
info_text, info = open(sys.argv[5]).read(), json.load(open(sys.argv[6]))
blocks = re.findall(r'^(\S.*)\n((?:  .*\n)+)', info_text, re.M)
found = [f for f in info["files"] if "error" not in f]
same("info records", len(blocks), len(found))
same("the error", [f["error"] for f in info["files"] if "error" in f], ["No such file or directory"])
for (path, body), f in zip(blocks, found):
    t = dict(re.findall(r'^  (\w+(?: ROM)?) +(.*)$', body, re.M))
    size = lambda b: "%d bytes (%d KB)" % (b, b // 1024)
    same("path", path, f["path"]); same("CRC32", t["CRC32"], f["crc32"]); same("Mapper", int(t["Mapper"]), f["mapper"])
    same("PRG", t["PRG ROM"], size(f["prgBytes"])); same("CHR", t["CHR ROM"], size(f["chrBytes"]))
    same("Mirroring", t["Mirroring"].split(" ")[0], f["mirroring"]); same("Timing", t["Timing"], f["timing"])
    same("Source", t["Source"], f["source"])
    same("Cartridge", t["Cartridge"], "can hold it" if f["cartridgeCanHoldIt"] else "cannot hold it: " + f["refusal"])
verify_text, verify = open(sys.argv[7]).read(), json.load(open(sys.argv[8]))
vlines = verify_text.splitlines()
same("verify lines", len(vlines), 16 + 3 + 1)
same("verdict", vlines[-1] == "All three images match the project.", verify["matches"])
for line, v in zip(vlines, verify["slots"] + verify["images"]):
    subject = "slot %d %s" % (v["slot"], v["title"]) if "slot" in v else "%s %s" % (v["image"], v["file"].split("/")[-1])
    areas = ", ".join(a["name"] + (" ok" if a["matches"] else " differ%s at %s 0x%X" % ("" if a["name"][-1] == "s" else "s", a["image"], a["firstDifference"])) for a in v["areas"])
    figures = "" if "slot" in v else " (CRC-32 %s, sum %s)" % (v["crc32"], v["sum"])
    same("verify line", line, "%s: %s%s" % (subject, areas, figures))
same("the changed slot", [s["slot"] for s in verify["slots"] if not s["matches"]], [7])
print("agree")
)PY", files + " " + info + " " + verify + " " + fullFiles);
  EXPECT_EQ(check.out, "agree\n");
}

// Randomize gives a cartridge the build accepts, and the seed gives it again.
TEST(KorvaScript, RandomizeFillsABuildableCartridgeThatTheSeedRepeats) {
  Demo demo;
  const std::string db = demo.Db();
  fs::create_directory(demo.Path("kept"));
  fs::copy_file(demo.Path("demo.korva"), demo.Path("kept/again.korva"));
  fs::create_symlink("kept/again.korva", demo.Path("again.korva"));
  fs::permissions(demo.Path("demo.korva"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  Outcome run = Korva("randomize " + Quote(demo.Path("demo.korva")) + db);
  ASSERT_EQ(run.status, 0) << run.out;
  // The save replaced the file and kept its mode.
  EXPECT_EQ(fs::status(demo.Path("demo.korva")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto at = run.out.find("(--seed ");
  ASSERT_NE(at, std::string::npos) << run.out;
  const std::string seed = run.out.substr(at + 8, run.out.find(')', at) - at - 8);
  run = Korva("randomize " + Quote(demo.Path("again.korva")) + db + " --seed " + seed);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ReadText(demo.Path("again.korva")), ReadText(demo.Path("demo.korva")));
  EXPECT_TRUE(fs::is_symlink(demo.Path("again.korva")));  // the link stays, its file is replaced
  EXPECT_EQ(ReadText(demo.Path("demo.korva")).find("CRC32=\"00000000\""), std::string::npos);  // every slot filled
  run = Korva("build " + Quote(demo.Path("demo.korva")) + db);
  EXPECT_EQ(run.status, 0) << run.out;
}

// What a shell shows: no status-bar texts unless -v, nothing but problems with -q.
TEST(KorvaScript, QuietAndVerboseDecideWhatGoesToStderr) {
  Demo demo;
  const std::string args = demo.Args();
  const struct {
    std::string command;
    std::vector<std::string> shown, hidden;
  } cases[] = {
      {"preview " + args, {"written to"}, {"New project created!", "Loaded KORVA Game Database"}},
      {"-v preview " + args, {"Loaded KORVA Game Database, 16 ROMs", "Loaded project: demo.korva"}, {}},
      {"show " + args + " --verbose", {"Loaded KORVA Game Database, 16 ROMs"}, {}},
      {"-q preview " + args, {}, {"written to"}},
      {"-q play " + args, {}, {"written to"}},
      {"set " + args + " --title 'quiet please' --quiet", {}, {"stored as"}},
      {"set " + args + " --title 'loud, please' -q", {"\",\" is not in the title character set"}, {}},
  };
  for (const auto& c : cases) {
    const Outcome run = korva::test::RunCommand("(" + std::string(KORVA_EXE) + " " + c.command + " 2>&1 >/dev/null)");
    for (const auto& text : c.shown) EXPECT_TRUE(Has(run.out, text)) << c.command << "\n" << run.out;
    for (const auto& text : c.hidden) EXPECT_FALSE(Has(run.out, text)) << c.command << "\n" << run.out;
  }
}

// The bash completion, run as bash runs it for a line typed up to the cursor.
TEST(KorvaScript, BashCompletesCommandsOptionsIconsProjectsAndRomNames) {
  Demo demo;
  fs::copy_file(demo.Path("roms/sky-surfer.nes"), demo.Path("roms/Sky Surfer (USA) [!].nes"));
  ASSERT_EQ(Korva("scan " + demo.Roms() + demo.Db()).status, 0);
  const std::string db = Quote(demo.Path("korva_db.xml"));
  const struct {
    std::string line;  // the words before the cursor, the last one being completed
    std::vector<std::string> offered;
  } cases[] = {
      {"korva sl", {"slot"}},
      {"korva -q ra", {"randomize"}},
      {"korva slot demo.korva 3 --ic", {"--icon"}},
      {"korva slot demo.korva 3 --icon z", {"zapper"}},
      {"korva new x.korva --icons l", {"lightgun"}},
      {"korva slot demo.korva 1", {"1", "10", "11", "12", "13", "14", "15", "16"}},
      {"korva slot --db " + db + " demo.korva 4 --rom ro", {"robo-rescue-squad", "rocket-rally"}},
      {"korva slot --db " + db + " demo.korva 4 --rom RO", {"robo-rescue-squad", "rocket-rally"}},
      {"korva slot --db " + db + " demo.korva 4 --rom Sky", {"Sky\\ Surfer\\ \\(USA\\)\\ \\[\\!\\]"}},
      {"korva slot --db " + db + " demo.korva 4 --rom Sky\\ Surfer\\ \\(", {"Sky\\ Surfer\\ \\(USA\\)\\ \\[\\!\\]"}},
      {"korva set d", {"demo.korva"}},
      {"korva pl", {"play"}},
      {"korva play demo.korva --o", {"--open"}},
      {"korva preview demo.korva --palette n", {"ntsc"}},
      {"korva verify demo.korva --j", {"--json"}},
  };
  for (const auto& c : cases) {
    // The words as bash splits the line: at spaces, except those after a backslash.
    std::ofstream words(demo.Path("words"));
    for (std::size_t i = 0; i < c.line.size(); ++i)
      words << (c.line[i] == ' ' && c.line[i - 1] != '\\' ? '\n' : c.line[i]);
    words.close();
    const std::string script = "cd " + Quote(demo.dir.path()) + " && PATH=" +
                               Quote(fs::path(KORVA_EXE).parent_path().string()) + ":$PATH bash -c '"
                               "shopt -s extglob; source \"$0\"; mapfile -t COMP_WORDS < words; "
                               "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _korva; printf \"%s\\n\" \"${COMPREPLY[@]}\" | sort' " +
                               Quote(KORVA_COMPLETION);
    const Outcome run = korva::test::RunCommand(script, false);
    std::string expected;
    for (const auto& word : c.offered) expected += word + "\n";
    EXPECT_EQ(run.out, expected) << c.line;
  }
}
