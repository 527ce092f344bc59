#include "romlib/FileUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestArchives.h"

namespace fs = std::filesystem;
using korva::test::Bytes;

namespace {
// A fresh directory under /tmp, removed with everything in it.
struct TempDir {
  TempDir() {
    std::string name = "/tmp/korva-dir-XXXXXX";
    path = ::mkdtemp(name.data());
  }
  ~TempDir() { fs::remove_all(path); }
  std::string path;
};
}  // namespace

TEST(FileUtil, ReadWholeFileReturnsEveryByte) {
  const Bytes content = korva::test::PatternBytes(70000, 3);
  korva::test::TempFile file(content);
  EXPECT_EQ(korva::ReadWholeFile(file.path(), 1 << 20), content);
}

TEST(FileUtil, ReadWholeFileRefusesMissingDirectoryAndOversizedFiles) {
  EXPECT_THROW(korva::ReadWholeFile("/tmp/korva-no-such-file-here", 100), korva::FileError);
  EXPECT_THROW(korva::ReadWholeFile("/tmp", 100), korva::FileError);
  korva::test::TempFile file(Bytes(101, 7));
  EXPECT_THROW(korva::ReadWholeFile(file.path(), 100), korva::FileError);
  EXPECT_EQ(korva::ReadWholeFile(file.path(), 101).size(), 101u);
}

TEST(FileUtil, ReadFileWithinTellsAnOversizedFileFromAnError) {
  korva::test::TempFile file(korva::test::PatternBytes(5000, 9));
  EXPECT_FALSE(korva::ReadFileWithin(file.path(), 4999).has_value());
  const auto whole = korva::ReadFileWithin(file.path(), 5000);
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
  korva::test::TempFile file(korva::test::PatternBytes(5000, 9));
  const int fd = ::open(file.path().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(korva::ReadFileBytes(fd, 5000, file.path()), korva::test::PatternBytes(5000, 9));
  ASSERT_EQ(::truncate(file.path().c_str(), 1000), 0);  // shrinks after its size was taken
  EXPECT_THROW(korva::ReadFileBytes(fd, 5000, file.path()), korva::FileError);
  ::close(fd);
}

TEST(FileUtil, ReadWholeFileOfEmptyFileIsEmpty) {
  korva::test::TempFile file(Bytes{});
  EXPECT_TRUE(korva::ReadWholeFile(file.path(), 100).empty());
}

TEST(FileUtil, ReadWholeFileNamesTheFileInItsMessage) {
  try {
    korva::ReadWholeFile("/tmp/korva-no-such-file-here", 100);
    FAIL();
  } catch (const korva::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("korva-no-such-file-here"), std::string::npos);
  }
}

TEST(FileUtil, WriteFileAtomicReplacesAndLeavesNoTempFiles) {
  TempDir dir;
  const std::string path = dir.path + "/out.bin";
  korva::WriteFileAtomic(path, std::string_view("first version, long"));
  korva::WriteFileAtomic(path, std::string_view("second"));
  const Bytes back = korva::ReadWholeFile(path, 100);
  EXPECT_EQ(std::string(back.begin(), back.end()), "second");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(FileUtil, WriteFileAtomicFailureKeepsTheOldFile) {
  TempDir dir;
  // A directory in the way: the rename over it fails, the temp file goes.
  const std::string blocked = dir.path + "/blocked";
  fs::create_directory(blocked);
  fs::create_directory(blocked + "/inner");
  EXPECT_THROW(korva::WriteFileAtomic(blocked, std::string_view("x")), korva::FileError);
  EXPECT_TRUE(fs::is_directory(blocked + "/inner"));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
  EXPECT_THROW(korva::WriteFileAtomic(dir.path + "/no/such/dir/file", std::string_view("x")),
               korva::FileError);
}

TEST(FileUtil, ExistenceTestsTellFilesFromDirectories) {
  korva::test::TempFile file(Bytes{1});
  EXPECT_TRUE(korva::FileExists(file.path()));
  EXPECT_FALSE(korva::DirectoryExists(file.path()));
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
