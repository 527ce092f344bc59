// `korva demo`, `korva scan` and `korva build` run end to end: the exit
// statuses a script relies on, and the files they leave behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "CommandRun.h"
#include "TempDir.h"

namespace fs = std::filesystem;
using korva::test::TempDir;

namespace {

using Outcome = korva::test::CommandRun;

Outcome Korva(const std::string& args) { return korva::test::RunCommand(std::string(KORVA_EXE) + " " + args); }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The bundled demo in a fresh directory: sixteen games, korva_db.xml,
// demo.korva and its three images.
struct Demo {
  TempDir dir;
  Demo() {
    const Outcome run = Korva("demo " + Quote(dir.path()));
    EXPECT_EQ(run.status, 0) << run.out;
  }
  std::string Path(const std::string& name) const { return dir.path() + name; }
};

}  // namespace

TEST(KorvaBuild, RebuildsTheDemoImagesByteForByteAndExitsZero) {
  Demo demo;
  const std::string prg = ReadText(demo.Path("demo-prg.bin"));
  const std::string chr = ReadText(demo.Path("demo-chr.bin"));
  const std::string inst = ReadText(demo.Path("demo-instrom.bin"));
  ASSERT_EQ(prg.size(), 512u * 1024u);
  ASSERT_EQ(chr.size(), 512u * 1024u);
  ASSERT_EQ(inst.size(), 128u * 1024u);
  for (const char* name : {"demo-prg.bin", "demo-chr.bin", "demo-instrom.bin"}) fs::remove(demo.Path(name));

  const Outcome run = Korva("build " + Quote(demo.Path("demo.korva")) + " --db " + Quote(demo.Path("korva_db.xml")));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ReadText(demo.Path("demo-prg.bin")), prg);
  EXPECT_EQ(ReadText(demo.Path("demo-chr.bin")), chr);
  EXPECT_EQ(ReadText(demo.Path("demo-instrom.bin")), inst);
}

TEST(KorvaBuild, FailsWithoutWritingWhenAGameIsGone) {
  Demo demo;
  for (const char* name : {"demo-prg.bin", "demo-chr.bin", "demo-instrom.bin"}) fs::remove(demo.Path(name));
  fs::remove(demo.Path("roms/rocket-rally.nes"));
  const Outcome run = Korva("build " + Quote(demo.Path("demo.korva")) + " --db " + Quote(demo.Path("korva_db.xml")));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_FALSE(fs::exists(demo.Path("demo-prg.bin")));
  EXPECT_FALSE(fs::exists(demo.Path("demo-chr.bin")));
  EXPECT_FALSE(fs::exists(demo.Path("demo-instrom.bin")));
}

TEST(KorvaBuild, RefusesMissingProjectsAndBadArguments) {
  Demo demo;
  Outcome run = Korva("build " + Quote(demo.Path("none.korva")) + " --db " + Quote(demo.Path("korva_db.xml")));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_TRUE(Has(run.out, "Cannot open")) << run.out;
  run = Korva("build " + Quote(demo.Path("demo.korva")) + " --db " + Quote(demo.Path("none.xml")));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_TRUE(Has(run.out, "there is no ROM database file")) << run.out;
  run = Korva("build");
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_TRUE(Has(run.out, "usage: korva build")) << run.out;
  run = Korva("build a.korva b.korva");
  EXPECT_EQ(run.status, 2) << run.out;
}

TEST(KorvaScan, OneThreadAndTheDefaultWriteTheSameDatabase) {
  Demo demo;
  const Outcome one = Korva("scan " + Quote(demo.Path("roms")) + " --db " + Quote(demo.Path("one.xml")) + " --threads 1");
  ASSERT_EQ(one.status, 0) << one.out;
  EXPECT_TRUE(Has(one.out, "Finished scanning, 16 compatible roms found")) << one.out;
  const Outcome two = Korva("scan " + Quote(demo.Path("roms")) + " --db " + Quote(demo.Path("two.xml")));
  ASSERT_EQ(two.status, 0) << two.out;
  EXPECT_EQ(ReadText(demo.Path("one.xml")), ReadText(demo.Path("two.xml")));
}

TEST(KorvaScan, RefusesABadThreadCountAndAMissingDirectory) {
  TempDir dir;
  for (const char* bad : {"0", "17", "x", "-1"}) {
    const Outcome run = Korva("scan " + Quote(dir.path()) + " --db " + Quote(dir.path() + "db.xml") + " --threads " + bad);
    EXPECT_EQ(run.status, 2) << bad << ": " << run.out;
    EXPECT_TRUE(Has(run.out, "--threads")) << run.out;
  }
  const Outcome missing = Korva("scan " + Quote(dir.path() + "nothing-here") + " --db " + Quote(dir.path() + "db.xml"));
  EXPECT_EQ(missing.status, 1) << missing.out;
  EXPECT_TRUE(Has(missing.out, "Invalid path: ")) << missing.out;
  EXPECT_FALSE(fs::exists(dir.path() + "db.xml"));
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
                                                Quote(dir.path() + "bin/korva") + " scan " + Quote(demo.Path("roms")));
    ASSERT_EQ(run.status, 0) << c.exe << ": " << run.out;
    EXPECT_EQ(fs::exists(dir.path() + "bin/korva_db.xml"), c.beside) << c.exe;
    EXPECT_EQ(fs::exists(dir.path() + "data/korva/korva_db.xml"), !c.beside) << c.exe;
  }
}

// --version for every program, the window's without a display to connect to.
TEST(KorvaVersion, EveryProgramPrintsItsBuildWithoutADisplay) {
  for (const char* exe : {KORVA_EXE, KORVA_INSTALLED_EXE, KORVA_BUILDER_EXE}) {
    if (exe[0] == '\0') continue;  // built without the window
    const Outcome run = korva::test::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " +
                                                Quote(exe) + " --version");
    EXPECT_EQ(run.status, 0) << exe << ": " << run.out;
    EXPECT_EQ(run.out, "KORVA Builder [Build 12]\n") << exe;
  }
}
