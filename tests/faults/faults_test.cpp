// The writes under faults. Every file the program saves (korva_db.xml, the
// project and the three images) must be the complete old or the complete new
// file after a kill at any moment, a full disk or a failing device; a failed
// save names the system's reason and leaves no temporary file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "CommandRun.h"
#include "TempDir.h"

namespace fs = std::filesystem;
using korva::test::RunCommand;
using korva::test::TempDir;
using korva::test::Quote;
using korva::test::ReadText;

namespace {

const std::vector<std::string> kSaved = {"korva_db.xml", "set.korva", "set-prg.bin", "set-chr.bin", "set-instrom.bin"};

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

// The files of one saved version, by name.
std::map<std::string, std::string> Snapshot(const std::string& dir, const std::vector<std::string>& names) {
  std::map<std::string, std::string> files;
  for (const std::string& name : names) files[name] = ReadText(dir + name);
  return files;
}

TEST(KillTest, AfterEveryKillEachFileIsTheOldOrTheNewOneAndTheNextSaveSucceeds) {
  TempDir dir;
  const std::string writer = KILL_WRITER, roms = dir / "roms", live = dir / "live/";
  ASSERT_EQ(RunCommand(writer + " roms " + Quote(roms)).status, 0);
  std::map<std::string, std::string> version[2];
  for (int v = 0; v < 2; ++v) {
    const std::string out = dir / (v ? "b/" : "a/");
    const auto run = RunCommand(writer + " once " + (v ? "B " : "A ") + Quote(roms) + " " + Quote(out));
    ASSERT_EQ(run.status, 0) << run.out;
    version[v] = Snapshot(out, kSaved);
  }
  for (const std::string& name : kSaved) ASSERT_NE(version[0][name], version[1][name]) << name;

  // One save of both versions takes this long; kills fall anywhere in the
  // first few saves of a run, start-up included.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCommand(writer + " once A " + Quote(roms) + " " + Quote(live)).status, 0);
  const auto once = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delay(0, 2 * once.count());
  SCOPED_TRACE("seed " + std::to_string(seed));

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  const std::string errors = dir / "writer.err";
  int kills = 0, midSave = 0, betweenRenames = 0;
  for (; kills < 300 && std::chrono::steady_clock::now() < deadline; ++kills) {
    const pid_t child = ::fork();
    if (child == 0) {
      const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(err, 2);
      ::execl(writer.c_str(), writer.c_str(), "loop", roms.c_str(), live.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // Not killed means the writer stopped by itself: a save failed.
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "after " << kills << " kills: " << ReadText(errors);

    std::set<int> imageVersions;
    for (const std::string& name : kSaved) {
      const std::string now = ReadText(live + name);
      ASSERT_TRUE(now == version[0][name] || now == version[1][name])
          << name << " is neither version after kill " << kills << " (" << now.size() << " bytes)";
      if (name.ends_with(".bin")) imageVersions.insert(now == version[0][name] ? 0 : 1);
    }
    // A killed save leaves at most its own temporaries (one per file of a
    // set, and a second name of each old image while the set is renamed):
    // each save removes those of the saves killed before it.
    const std::set<std::string> names = Names(live);
    ASSERT_LE(names.size(), kSaved.size() + 6) << "temporary files pile up after kill " << kills;
    for (const std::string& name : names)
      ASSERT_TRUE(name.starts_with(".korva-") || std::count(kSaved.begin(), kSaved.end(), name)) << name;
    if (names.size() > kSaved.size()) ++midSave;
    // The three images are one version, unless the kill fell between two
    // renames of the set: then the set's leftovers are still there.
    if (imageVersions.size() > 1) {
      ASSERT_GT(names.size(), kSaved.size()) << "a mixed set without leftovers after kill " << kills;
      ++betweenRenames;
    }
  }
  std::printf("%d kills, %d inside a save, %d between two renames of the images (seed %u)\n", kills, midSave,
              betweenRenames, seed);
  EXPECT_GE(kills, 100);
  EXPECT_GT(midSave, 0);

  const auto run = RunCommand(writer + " once A " + Quote(roms) + " " + Quote(live));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Snapshot(live, kSaved), version[0]);
  EXPECT_EQ(Names(live), std::set<std::string>(kSaved.begin(), kSaved.end()));
}

// The bundled demo: sixteen games in roms/, korva_db.xml, demo.korva and its
// three images; the commands that save them again.
const std::vector<std::string> kDemoFiles = {"korva_db.xml", "demo.korva", "demo-prg.bin", "demo-chr.bin",
                                             "demo-instrom.bin"};

struct Demo {
  TempDir dir;
  std::map<std::string, std::string> before;
  Demo() {
    const auto run = RunCommand(std::string(KORVA_EXE) + " demo " + Quote(dir.path()));
    EXPECT_EQ(run.status, 0) << run.out;
    // Two games change places and the cartridge its title: a build of the
    // project as it is now changes all three images (the project file is
    // saved as it stands).
    std::string project = ReadText(dir / "demo.korva");
    for (const auto& [from, to] : {std::pair{"\"72522F6D\"", "\"SWAPPED1\""}, std::pair{"\"FD6C6B80\"", "\"72522F6D\""},
                                   std::pair{"\"SWAPPED1\"", "\"FD6C6B80\""}, std::pair{">KORVA DEMO<", ">KORVA DEMO 2<"}})
      project.replace(project.find(from), std::string(from).size(), to);
    std::ofstream(dir / "demo.korva", std::ios::binary) << project;
    before = Snapshot(dir.path(), kDemoFiles);
  }
  // korva scan or korva build, saving into `target` (the demo's own
  // directory unless given), with `environment` before the command.
  korva::test::CommandRun Run(const std::string& command, const std::string& environment,
                              const std::string& target) const {
    const std::string db = Quote(target + "korva_db.xml");
    const std::string args = command == "scan" ? "scan " + Quote(dir / "roms") + " --db " + db
                                               : "build " + Quote(target + "demo.korva") + " --db " + db;
    return RunCommand(environment + " " + KORVA_EXE + " " + args);
  }
};

struct FailingCase {
  const char* command;  // "scan" writes korva_db.xml; "build" the project, then the three images as one set
  const char* fail;     // KORVA_FAIL, or "ulimit": a file-size limit of 256 blocks, below an image's size
  int after;            // calls that succeed first: 1 lets the project save and fails the first image
  int times;            // calls that fail then (0: all)
};

TEST(FailingWrites, EverySaveNamesTheReasonAndLeavesTheOldFilesWhole) {
  const FailingCase cases[] = {
      {"scan", "write:EIO", 0, 0},   {"scan", "fsync:EIO", 0, 0},   {"build", "write:EIO", 0, 0},
      {"build", "write:EIO", 1, 0},  {"build", "fsync:EIO", 2, 0},  {"build", "write:EIO", 3, 0},
      {"build", "rename:EIO", 2, 1}, {"build", "rename:EIO", 3, 1},  // the CHR image's rename, the last one's
      {"build", "ulimit", 0, 0},
  };
  Demo demo;
  const std::set<std::string> names = Names(demo.dir.path());
  for (const FailingCase& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.fail + " after " + std::to_string(c.after));
    const bool limit = std::string(c.fail) == "ulimit";
    const auto run = demo.Run(c.command,
                              limit ? std::string("ulimit -f 256;")
                                    : std::string("LD_PRELOAD=") + FAIL_WRITES + " KORVA_FAIL=" + c.fail +
                                          " KORVA_FAIL_AFTER=" + std::to_string(c.after) +
                                          (c.times ? " KORVA_FAIL_TIMES=" + std::to_string(c.times) : ""),
                              demo.dir.path());
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find(limit ? "\": File too large" : "\": Input/output error"), std::string::npos) << run.out;
    EXPECT_EQ(Snapshot(demo.dir.path(), kDemoFiles), demo.before);
    EXPECT_EQ(Names(demo.dir.path()), names);
  }
  // And without the fault both commands succeed on the same files, the build
  // with the new images.
  for (const char* command : {"scan", "build"}) EXPECT_EQ(demo.Run(command, "", demo.dir.path()).status, 0);
  for (const char* image : {"demo-prg.bin", "demo-chr.bin", "demo-instrom.bin"})
    EXPECT_NE(ReadText(demo.dir / image), demo.before[image]) << image;
}

// A small tmpfs mounted for one test, unmounted at the end.
struct SmallDisk {
  std::string path;
  std::string error;  // why it could not be mounted
  explicit SmallDisk(const std::string& where) : path(where) {
    fs::create_directories(path);
    if (::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=4m") != 0) error = std::strerror(errno);
  }
  ~SmallDisk() {
    if (error.empty()) ::umount2(path.c_str(), MNT_DETACH);
  }
  // Takes all free space but `leave` bytes.
  void Fill(std::size_t leave) const {
    fs::remove(path + "filler");
    struct statvfs st {};
    ASSERT_EQ(::statvfs(path.c_str(), &st), 0);
    const auto free = static_cast<off_t>(st.f_bavail * st.f_frsize);
    const int fd = ::open((path + "filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::posix_fallocate(fd, 0, free - static_cast<off_t>(leave)), 0);
    ::close(fd);
  }
};

TEST(FullDisk, EverySaveNamesTheReasonAndLeavesTheOldFilesWhole) {
  if (::geteuid() != 0) GTEST_SKIP() << "the full-disk test mounts a small tmpfs, which needs root";
  Demo demo;
  SmallDisk disk(demo.dir / "disk/");
  if (!disk.error.empty()) GTEST_SKIP() << "the full-disk test could not mount a tmpfs: " << disk.error;
  // A full disk; room for the project but not for the first image; and,
  // with no images there before, room for the PRG and CHR images but not
  // for the instruction ROM: then no image at all.
  const struct {
    const char* command;
    std::size_t leave;
    bool images;  // the old images are there
  } cases[] = {{"scan", 0, true}, {"build", 0, true}, {"build", 64 * 1024, true}, {"build", 1088 * 1024, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " with " + std::to_string(c.leave) + " bytes free");
    for (const std::string& name : kDemoFiles) {
      fs::remove(disk.path + name);
      if (c.images || name.find(".bin") == std::string::npos) fs::copy_file(demo.dir / name, disk.path + name);
    }
    const std::set<std::string> names = [&] {
      auto all = Names(disk.path);
      all.insert("filler");
      return all;
    }();
    const auto before = Snapshot(disk.path, kDemoFiles);
    disk.Fill(c.leave);
    const auto run = demo.Run(c.command, "", disk.path);
    EXPECT_NE(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\": No space left on device"), std::string::npos) << run.out;
    EXPECT_EQ(Snapshot(disk.path, kDemoFiles), before);
    EXPECT_EQ(Names(disk.path), names);
  }
}

}  // namespace
