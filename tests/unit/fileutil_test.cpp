#include "romlib/FileUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestArchives.h"
#include "romlib/CRC.h"

namespace fs = std::filesystem;
using korva::test::Bytes;
using korva::test::TempDir;

// Every byte up to the limit, an empty file too; refused: past the limit, a directory, a missing file
// (named in the message).
TEST(FileUtil, ReadWholeFileReadsEveryByteUpToTheLimitAndNamesWhatItRefuses) {
  const TempDir temp;
  const Bytes content = korva::test::PatternBytes(70000, 3);
  EXPECT_EQ(korva::ReadWholeFile(temp.Write("file.bin", content), 1 << 20), content);
  EXPECT_TRUE(korva::ReadWholeFile(temp.Write("empty.bin", Bytes{}), 100).empty());
  const std::string file = temp.Write("101.bin", Bytes(101, 7));
  EXPECT_THROW(korva::ReadWholeFile(file, 100), korva::FileError);
  EXPECT_EQ(korva::ReadWholeFile(file, 101).size(), 101u);
  EXPECT_THROW(korva::ReadWholeFile("/tmp", 100), korva::FileError);
  try {
    korva::ReadWholeFile("/tmp/korva-no-such-file-here", 100);
    FAIL();
  } catch (const korva::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("korva-no-such-file-here"), std::string::npos);
  }
}

TEST(FileUtil, ReadFileWithinTellsAnOversizedFileFromAnError) {
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.bin", korva::test::PatternBytes(5000, 9));
  EXPECT_FALSE(korva::ReadFileWithin(file, 4999).has_value());
  const auto whole = korva::ReadFileWithin(file, 5000);
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(*whole, korva::test::PatternBytes(5000, 9));
  EXPECT_THROW(korva::ReadFileWithin("/tmp/korva-no-such-file-here", 100), korva::FileError);
}

TEST(FileUtil, ReadFileWithinReadsFilesThatReportNoSize) {
  // Files of /proc report a size of 0 but have content: it is read past the
  // reported size, and still refused past the limit.
  const auto status = korva::ReadFileWithin("/proc/self/status", 1 << 20);
  ASSERT_TRUE(status.has_value());
  EXPECT_GT(status->size(), 100u);
  EXPECT_EQ(std::string(status->begin(), status->begin() + 5), "Name:");
  EXPECT_FALSE(korva::ReadFileWithin("/proc/self/status", 10).has_value());
}

TEST(FileUtil, AFileShorterThanItsSizeIsAnError) {
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.bin", korva::test::PatternBytes(5000, 9));
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(korva::ReadFileBytes(fd, 5000, file), korva::test::PatternBytes(5000, 9));
  ASSERT_EQ(::truncate(file.c_str(), 1000), 0);  // shrinks after its size was taken
  EXPECT_THROW(korva::ReadFileBytes(fd, 5000, file), korva::FileError);
  ::close(fd);
}

TEST(FileUtil, WriteFileAtomicReplacesAndLeavesNoTempFiles) {
  TempDir dir;
  const std::string path = dir.path() + "out.bin";
  korva::WriteFileAtomic(path, std::string_view("first version, long"));
  korva::WriteFileAtomic(path, std::string_view("second"));
  const Bytes back = korva::ReadWholeFile(path, 100);
  EXPECT_EQ(std::string(back.begin(), back.end()), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);  // no temporaries
}

TEST(FileUtil, WriteFileAtomicFailureKeepsTheOldFile) {
  TempDir dir;
  // A directory in the way: the rename over it fails, the temp file goes.
  const std::string blocked = dir.path() + "blocked";
  fs::create_directory(blocked);
  fs::create_directory(blocked + "/inner");
  EXPECT_THROW(korva::WriteFileAtomic(blocked, std::string_view("x")), korva::FileError);
  EXPECT_TRUE(fs::is_directory(blocked + "/inner"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);  // no temporaries
  EXPECT_THROW(korva::WriteFileAtomic(dir.path() + "no/such/dir/file", std::string_view("x")),
               korva::FileError);
}

// Runs `check` as the unprivileged user "nobody" in a child process when the
// tests run as root (as in CI), where permissions would not be checked;
// true when it returned true.
bool AsUnprivileged(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const pid_t child = ::fork();
  if (child == 0) {
    const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && check();
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Text(const std::string& path) {
  const Bytes bytes = korva::ReadWholeFile(path, 1 << 20);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileUtil, WriteFileAtomicKeepsTheModeAndWritesThroughLinks) {
  TempDir dir;
  fs::create_directory(dir.path() + "real");
  for (const mode_t mode : {0600, 0640, 0755, 0444}) {
    SCOPED_TRACE(mode);
    // The file itself, then a relative link to it, which must stay a link.
    const std::string file = dir.path() + "real/file";
    const std::string link = dir.path() + "link";
    korva::WriteFileAtomic(file, std::string_view("old"));
    ::chmod(file.c_str(), mode);
    fs::remove(link);
    fs::create_symlink("real/file", link);
    if (mode & 0200) {
      korva::WriteFileAtomic(file, std::string_view("direct"));
      EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(mode));
    }
    if (::geteuid() == 0 || (mode & 0200)) {
      korva::WriteFileAtomic(link, std::string_view("through the link"));
      EXPECT_TRUE(fs::is_symlink(link));
      EXPECT_EQ(Text(file), "through the link");
      EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(mode));
    }
  }
  // A link to a file not there yet creates it; a new file gets 0666 less the umask.
  fs::create_symlink("real/new", dir.path() + "dangling");
  const mode_t mask = ::umask(027);
  korva::WriteFileAtomic(dir.path() + "dangling", std::string_view("new"));
  ::umask(mask);
  EXPECT_EQ(Text(dir.path() + "real/new"), "new");
  EXPECT_EQ(fs::status(dir.path() + "real/new").permissions(), static_cast<fs::perms>(0640));
  EXPECT_EQ(Names(dir.path() + "real"), (std::vector<std::string>{"file", "new"}));
}

TEST(FileUtil, WriteFileAtomicRefusesWhatADirectWriteRefuses) {
  // Each time the message is the one a direct write gives, the old file is
  // untouched and no temporary file stays.
  TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  struct Case {
    std::string name;
    mode_t mode;  // of an existing file, 0 for none
  };
  const Case cases[] = {
      {"read-only.korva", 0444},
      {std::string(256, 'n'), 0},
      {"no/such/dir/file", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    if (c.mode) {
      korva::WriteFileAtomic(path, std::string_view("old"));
      ::chmod(path.c_str(), c.mode);
    }
    const std::vector<std::string> before = Names(dir.path());
    EXPECT_TRUE(AsUnprivileged([&] {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0666);
      if (fd >= 0) return false;
      const std::string expected = "Cannot write \"" + path + "\": " + std::strerror(errno);
      try {
        korva::CheckWritable(path);
        return false;
      } catch (const korva::FileError& e) {
        if (e.what() != expected) return false;
      }
      try {
        korva::WriteFileAtomic(path, std::string_view("new"));
      } catch (const korva::FileError& e) {
        return e.what() == expected;
      }
      return false;
    }));
    EXPECT_EQ(Names(dir.path()), before);
    if (c.mode) {
      EXPECT_EQ(Text(path), "old");
    }
  }
}

TEST(FileUtil, WriteFileAtomicUsesShortTemporariesAndRemovesOnlyItsOwnStaleOnes) {
  TempDir dir;
  // A name that fills the limit has no room for a suffix.
  const std::string longest = dir / std::string(255, 'n');
  korva::WriteFileAtomic(longest, std::string_view("fits"));
  EXPECT_EQ(Text(longest), "fits");
  // A save of out.bin removes what a killed save of out.bin left, and
  // nothing else: not one held by a save under way, not another file's,
  // not the user's own files of a similar name.
  char stem[32];
  std::snprintf(stem, sizeof stem, ".korva-%08X-", korva::crc::Crc32(0, "out.bin", 7));
  const std::string mine = std::string(stem) + "Stale1", held = std::string(stem) + "InUse1";
  for (const std::string& name : {mine, held, std::string(".korva-Stale1"), std::string(".korva-0BADF00D-Stale1"),
                                  std::string(stem) + "Stale1.txt"})
    std::ofstream(dir / name) << "partial";
  const int lock = ::open((dir / held).c_str(), O_RDONLY);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  korva::WriteFileAtomic(dir / "out.bin", std::string_view("new"));
  ::close(lock);
  std::vector<std::string> expected = {".korva-0BADF00D-Stale1", ".korva-Stale1", held, std::string(stem) + "Stale1.txt",
                                       std::string(255, 'n'), "out.bin"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(dir.path()), expected);
}

TEST(FileUtil, WriteFilesAtomicWritesTheSetWholeOrNotAtAll) {
  // A set whose last name cannot be written, or that names one file twice,
  // changes none of its files; a good set replaces all and leaves no other.
  struct Case {
    const char* name;
    std::function<void(const std::string& dir)> spoil;  // before the set is written
    const char* reason;                                 // nullptr: written
  };
  const Case cases[] = {
      {"good", [](const std::string&) {}, nullptr},
      {"directory in the way", [](const std::string& d) { fs::create_directory(d + "c"); }, "Is a directory"},
      {"one file twice", [](const std::string& d) { fs::create_symlink(d + "a", d + "c"); }, "the same file as"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const char* name : {"a", "b"}) std::ofstream(dir / name) << "old " << name;
    c.spoil(dir.path());
    const std::vector<std::string> before = Names(dir.path());
    const std::string bytes = "new";
    const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const korva::FileContent set[] = {{dir / "a", span}, {dir / "b", span}, {dir / "c", span}};
    if (!c.reason) {
      korva::WriteFilesAtomic(set);
      for (const char* name : {"a", "b", "c"}) EXPECT_EQ(Text(dir / name), "new") << name;
      EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a", "b", "c"}));
      continue;
    }
    try {
      korva::WriteFilesAtomic(set);
      ADD_FAILURE() << "written";
    } catch (const korva::FileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(Text(dir / "a"), "old a");
    EXPECT_EQ(Text(dir / "b"), "old b");
    EXPECT_EQ(Names(dir.path()), before);
  }
}

TEST(FileUtil, ExistenceTestsTellFilesFromDirectories) {
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.bin", Bytes{1});
  EXPECT_TRUE(korva::FileExists(file));
  EXPECT_FALSE(korva::DirectoryExists(file));
  EXPECT_TRUE(korva::DirectoryExists("/tmp"));
  EXPECT_FALSE(korva::FileExists("/tmp"));
  EXPECT_FALSE(korva::FileExists(""));
  EXPECT_FALSE(korva::FileExists("/tmp/korva-no-such-file-here"));
}

TEST(FileUtil, HasExtensionIgnoresCase) {
  EXPECT_TRUE(korva::HasExtension("Game.NES", ".nes"));
  EXPECT_TRUE(korva::HasExtension("a/b/Game.Zip", ".zip"));
  EXPECT_FALSE(korva::HasExtension("Game.nes.txt", ".nes"));
  EXPECT_FALSE(korva::HasExtension("es", ".nes"));
  EXPECT_TRUE(korva::HasExtension(".nes", ".nes"));
}

// Only "/" separates directories; ":" and "\" are parts of names.
TEST(FileUtil, PathParts) {
  const struct {
    std::string path, fileName, withoutExtension;
  } cases[] = {
      {"/d/set1.korva", "set1.korva", "/d/set1"},
      {"/d/set1.v2.korva", "set1.v2.korva", "/d/set1.v2"},
      {"Super Game (v1.1).zip", "Super Game (v1.1).zip", "Super Game (v1.1)"},
      {"NoDot", "NoDot", "NoDot"},
      {"/d.x/set1", "set1", "/d.x/set1"},  // a dot in a directory does not count
      {"/x/my:game.korva", "my:game.korva", "/x/my:game"},
      {"/x/a.b\\c", "a.b\\c", "/x/a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(korva::FileNamePart(c.path), c.fileName) << c.path;
    EXPECT_EQ(korva::WithoutExtension(c.path), c.withoutExtension) << c.path;
  }
  EXPECT_EQ(korva::FullDirectoryOf("/x/my:game.korva"), "/x/");
  EXPECT_EQ(korva::FullDirectoryOf("/d/../e/set1.korva"), "/e/");
  EXPECT_EQ(korva::FullDirectoryOf("set1.korva"), (fs::current_path() / "").string());
  EXPECT_EQ(korva::FullDirectoryOf("/set1.korva"), "/");
}

TEST(FileUtil, ProgramDirectoryHoldsTheTestProgram) {
  const std::string dir = korva::ProgramDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(korva::FileExists(dir + "korva_tests"));
}

TEST(FileUtil, UserDataDirectoryFollowsXdgThenHome) {
  const char* oldXdg = std::getenv("XDG_DATA_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  ::setenv("XDG_DATA_HOME", "/xdg/data", 1);
  EXPECT_EQ(korva::UserDataDirectory(), "/xdg/data/korva/");
  ::unsetenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (home && home[0]) {
    std::string expected = home;
    if (expected.back() != '/') expected += '/';
    EXPECT_EQ(korva::UserDataDirectory(), expected + ".local/share/korva/");
  }
  if (oldXdg) ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
}
