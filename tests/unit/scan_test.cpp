#include "romlib/Scan.h"

#include "RecordingUI.h"
#include "TempDir.h"
#include "TestArchives.h"
#include "romlib/CRC.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>

using korva::HeaderDatabase;
using korva::RomLibrary;
using korva::ScanResult;
using korva::test::Bytes;
using korva::test::INesImage;
using korva::test::RecordingUI;
using korva::test::TempDir;
using Strings = std::vector<std::string>;

namespace {

// Records what the scan shows, and reloads the database as the window does.
class RecordingObserver : public korva::ScanObserver {
 public:
  RecordingObserver(std::string dbPath, const HeaderDatabase& db, RecordingUI& ui)
      : dbPath_(std::move(dbPath)), db_(db), ui_(ui) {}

  void ScanStarted(const std::string& label) override { events.push_back("started " + label); }
  void SetProgressMax(int maximum) override { events.push_back("max " + std::to_string(maximum)); }
  void SetProgress(int position) override {
    events.push_back("position " + std::to_string(position));
    if (onProgress) onProgress(position);
  }
  bool ConfirmReplace(int had, int found) override {
    events.push_back("confirm " + std::to_string(had) + " " + std::to_string(found));
    return replace;
  }
  void SetLabel(const std::string& text) override { events.push_back("label " + text); }
  void ReloadDatabase() override {
    events.push_back("reload");
    const korva::RomDatabaseLoad load = korva::LoadRomDatabase(dbPath_, db_);
    library = load.Library;
    outOfSync = load.OutOfSync;
  }
  void ScanFinished(const ScanResult&) override { events.push_back("finished"); }

  Strings events;
  RomLibrary library;
  bool outOfSync = false;  // what the reload found
  std::function<void(int)> onProgress;
  bool replace = true;  // the answer to ConfirmReplace

 private:
  std::string dbPath_;
  const HeaderDatabase& db_;
  RecordingUI& ui_;
};

std::uint32_t RomCrc(const Bytes& image) { return korva::crc::Crc32(0, image.data() + 16, image.size() - 16); }

// A compatible NROM image (32 KB PRG, 8 KB CHR) that only its own header describes.
Bytes Nrom(std::uint32_t seed) { return INesImage(2, 1, 0x01, 0, 0, seed); }

struct ScanRun {
  TempDir roms, out;
  RecordingUI ui;
  HeaderDatabase db;
  std::unique_ptr<RecordingObserver> observer;
  ScanResult result;

  std::string dbName = "korva_db.xml";  // under `out`
  std::string DbPath() const { return out / dbName; }
  int helpers = -1;  // read-ahead threads; -1 as the program chooses
  bool recursive = false;
  std::atomic<bool> cancel{false};
  void Run(const std::string& dir) {
    observer = std::make_unique<RecordingObserver>(DbPath(), db, ui);
    Prepare(*observer);
    result = korva::ScanRomDirectory(dir, db, DbPath(), *observer,
                                     {.Recursive = recursive, .ReadHelpers = helpers, .Cancel = &cancel});
  }
  void Run() { Run(roms.path()); }
  std::function<void(RecordingObserver&)> Prepare = [](RecordingObserver&) {};

  // The Filename texts of the written file, in order.
  Strings WrittenNames() const {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(DbPath().c_str()));
    Strings names;
    for (auto rom : doc.child("KORVA").child("ROMDB").children("ROM")) names.push_back(rom.child_value("Filename"));
    return names;
  }
};

}  // namespace

TEST(ScanList, SortedByNameAcrossKindsAndCaseBlind) {
  TempDir dir;
  for (const char* name : {"c.nes", "B.zip", "a.NES", "d.txt", "e.nesx", "f.Zip"}) dir.Write(name, "x");
  dir.Write("sub/g.nes", "x");
  std::filesystem::create_directory(dir / "h.nes");  // a directory is not a candidate
  dir.Write("C.nes", "x");  // differs from c.nes only in case: a fixed order all the same
  std::filesystem::create_symlink(dir / "c.nes", dir / "l.nes");      // a link to a file is one
  std::filesystem::create_symlink(dir / "none.nes", dir / "m.nes");   // a link to nothing is not
  std::filesystem::create_symlink(dir / "h.nes", dir / "n.zip");      // nor a link to a directory
  std::filesystem::create_directory_symlink(dir.path(), dir / "sub/loop");  // a loop: listed once
  std::filesystem::create_directory_symlink(dir / "sub", dir / "again");     // a second way in: once
  for (const bool recursive : {false, true}) {
    Strings names;
    for (const auto& path : korva::ListRomCandidates(dir.path(), recursive))
      names.push_back(path.substr(dir.path().size()));
    Strings expected = {"a.NES", "B.zip", "C.nes", "c.nes", "f.Zip", "l.nes"};
    if (recursive) expected.insert(expected.begin() + 1, "again/g.nes");  // "again" sorts before "sub"
    EXPECT_EQ(names, expected) << "recursive " << recursive;
  }
  EXPECT_EQ(korva::ListRomCandidates(dir.path()).front(), dir / "a.NES");
  EXPECT_THROW(korva::ListRomCandidates(dir / "missing/"), std::filesystem::filesystem_error);
  EXPECT_THROW(korva::ListRomCandidates(dir / "missing/", true), std::filesystem::filesystem_error);
}

TEST(ScanList, DotDotGoesUpFromWhereTheSystemIsNotFromTheName) {
  TempDir dir;
  std::filesystem::create_directories(dir / "real/inner");
  std::filesystem::create_directories(dir / "real/x");
  std::filesystem::create_directories(dir / "x");
  std::filesystem::create_directory_symlink(dir / "real/inner", dir / "link");
  std::filesystem::create_directory_symlink(dir / "real/x", dir / "xlink");
  const struct {
    std::string given, expected;
  } cases[] = {
      {dir / "link/../x", dir / "real/x/"},            // link/.. is real, not dir
      {dir / "link/../x/./", dir / "real/x/"},
      {dir / "xlink/../x/", dir / "real/x/"},
      {dir / "link/../../xlink", dir / "xlink/"},      // links after the last ".." stay
      {dir / "xlink", dir / "xlink/"},                 // and so do links without one
      {dir / "real/./x", dir / "real/x/"},
      {dir / "gone/../x", dir / "gone/../x/"},         // the system cannot go up from nothing
  };
  for (const auto& c : cases) EXPECT_EQ(korva::ScanDirectoryPath(c.given), c.expected) << c.given;
  EXPECT_EQ(korva::ScanDirectoryPath(""), "");
}

TEST(Scan, WritesCompatibleRomsInSortedOrderAndReloads) {
  ScanRun s;
  const Bytes known = INesImage(1, 1, 0, 0, 0, 11);  // the header database corrects it
  s.db = korva::ParseHeaderDatabase(korva::CrcText(RomCrc(known)) + ",3,16384,8192,v,0\r\n");
  s.roms.Write("a.nes", Nrom(1));
  s.roms.Write("b.zip", korva::test::ZipBuilder().Deflated("b.nes", known).Build());
  s.roms.Write("c.nes", INesImage(4, 1, 0, 0, 0, 3));   // 64 KB PRG: not compatible
  s.roms.Write("d.nes", INesImage(2, 1, 0x10, 0, 0, 4));  // mapper 1: not compatible
  s.roms.Write("e.nes", "not a ROM at all");
  s.roms.Write("f.zip", "not an archive");
  const Bytes cut = Nrom(7);
  s.roms.Write("g.nes", Bytes(cut.begin(), cut.begin() + 1000));  // shorter than its PRG + CHR: not compatible
  s.Run();

  ASSERT_TRUE(s.result.Error.empty()) << s.result.Error;
  EXPECT_TRUE(s.result.Written);
  EXPECT_EQ(s.result.Files, 7);
  EXPECT_EQ(s.result.Count, 2);
  EXPECT_EQ(s.WrittenNames(), (Strings{"a.nes", "b.zip"}));
  EXPECT_EQ(korva::ScanSummary(s.result),
            (Strings{"Finished scanning " + s.roms.path(), "Kept: 2 compatible ROMs", "Incompatible: 3",
                     "Duplicates: 0", "Names that cannot be stored: 0", "Unreadable: 2",
                     "  e.nes: not an iNES image", "  f.zip: No ZIP header found"}));
  EXPECT_EQ(korva::ScanSummaryKind(s.result), korva::MsgKind::Warning);

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(s.DbPath().c_str()));
  const auto root = doc.document_element();
  EXPECT_STREQ(root.name(), "KORVA");
  EXPECT_STREQ(root.attribute("Build").value(), "12");
  EXPECT_EQ(root.first_child().name(), std::string("ROMPath"));
  EXPECT_EQ(root.child_value("ROMPath"), s.roms.path());
  const auto a = root.child("ROMDB").first_child();
  EXPECT_EQ(a.attribute("CRC32").value(), korva::CrcText(RomCrc(Nrom(1))));
  const auto ines = a.child("INES");
  ASSERT_TRUE(ines);
  Strings attrs;
  for (auto at : ines.attributes()) attrs.push_back(std::string(at.name()) + "=" + at.value());
  EXPECT_EQ(attrs, (Strings{"Mapper=0", "ChrRomSize=8192", "PrgRomSize=32768", "Mirroring=v"}));
  const auto b = a.next_sibling();
  EXPECT_EQ(b.attribute("CRC32").value(), korva::CrcText(RomCrc(known)));
  EXPECT_FALSE(b.child("INES"));  // found in the header database

  EXPECT_EQ(s.observer->events,
            (Strings{"started Scanning: " + s.roms.path(), "max 7", "position 1", "position 2", "position 3",
                     "position 4", "position 5", "position 6", "position 7", "position 7",
                     "label Finished scanning, 2 compatible roms found", "reload", "finished"}));
  EXPECT_EQ(s.observer->library.ROMNames, (Strings{"a", "b"}));
  EXPECT_TRUE(s.ui.AllTexts().empty());  // the front end says what the reload found
}

TEST(Scan, FirstFileWithACrcWinsInSortedOrder) {
  // A name that cannot be stored, sorted first, must not reorder the rest.
  for (const bool oddName : {false, true}) {
    ScanRun s;
    if (oddName) s.roms.Write("\x01odd.nes", Nrom(9));
    s.roms.Write("Game.nes", Nrom(5));
    s.roms.Write("Game (copy).nes", Nrom(5));
    s.roms.Write("Game (zip).zip", korva::test::ZipBuilder().Stored("x.nes", Nrom(5)).Build());
    s.roms.Write("Other.nes", Nrom(6));
    s.roms.Write("z-copy.nes", Nrom(5));
    s.Run();
    EXPECT_EQ(s.result.Count, 2);
    EXPECT_EQ(s.result.Duplicates, 3);
    EXPECT_EQ(s.result.Skipped, oddName ? 1 : 0);
    EXPECT_EQ(s.WrittenNames(), (Strings{"Game (copy).nes", "Other.nes"})) << "odd name " << oddName;
  }
}

TEST(Scan, UpperCaseExtensionsAreScannedToo) {
  ScanRun s;
  s.roms.Write("A.NES", Nrom(1));
  s.roms.Write("b.nes", Nrom(2));
  s.roms.Write("C.Zip", korva::test::ZipBuilder().Deflated("c.nes", Nrom(3)).Build());
  s.Run();
  EXPECT_EQ(s.WrittenNames(), (Strings{"A.NES", "b.nes", "C.Zip"}));
}

TEST(Scan, SubfoldersOnlyWhenAskedAndNamedUnderRomPath) {
  for (const bool recursive : {false, true}) {
    ScanRun s;
    s.roms.Write("top.nes", Nrom(1));
    s.roms.Write("deeper/inner.nes", Nrom(2));
    s.roms.Write("deeper/still/Last.zip", korva::test::ZipBuilder().Deflated("l.nes", Nrom(3)).Build());
    s.roms.Write("deeper/still/dup.nes", Nrom(1));
    std::filesystem::create_directory_symlink(s.roms.path(), s.roms / "deeper/still/loop");
    s.recursive = recursive;
    s.Run();
    ASSERT_TRUE(s.result.Error.empty()) << s.result.Error;
    if (!recursive) {
      EXPECT_EQ(s.WrittenNames(), Strings{"top.nes"});
      continue;
    }
    EXPECT_EQ(s.WrittenNames(), (Strings{"deeper/inner.nes", "deeper/still/dup.nes", "deeper/still/Last.zip"}));
    EXPECT_EQ(s.result.Duplicates, 1);  // top.nes comes after deeper/still/dup.nes
    // The loader finds every file by ROMPath and its name, and lists the name
    // without its extension.
    EXPECT_EQ(s.observer->library.ROMNames, (Strings{"deeper/inner", "deeper/still/dup", "deeper/still/Last"}));
    EXPECT_EQ(s.observer->library.FullPath(s.observer->library.ROMList[2]), s.roms / "deeper/still/Last.zip");
    EXPECT_FALSE(s.observer->outOfSync);
  }
}

TEST(Scan, EmptyDirectoryWritesAnEmptyRomDb) {
  ScanRun s;
  s.Run();
  EXPECT_TRUE(s.result.Written);
  EXPECT_TRUE(s.WrittenNames().empty());
  EXPECT_EQ(s.observer->events,
            (Strings{"started Scanning: " + s.roms.path(), "max 0", "position 0",
                     "label Finished scanning, 0 compatible roms found", "reload", "finished"}));
  EXPECT_TRUE(s.ui.AllTexts().empty());  // the front end says what the reload found
}

TEST(Scan, FewerThanHalfTheRomsReplacesTheFileOnlyWhenConfirmed) {
  const struct {
    int before, after;  // ROMs in the old file and in the directory
    bool answer;
    bool asked, written;
  } cases[] = {
      {4, 1, false, true, false}, {4, 0, false, true, false}, {4, 1, true, true, true},
      {4, 2, false, false, true},  // half is not fewer than half
      {0, 0, false, false, true},  {1, 0, false, true, false},
  };
  for (const auto& c : cases) {
    ScanRun s;
    for (int i = 0; i < c.before; ++i) s.roms.Write("old" + std::to_string(i) + ".nes", Nrom(static_cast<std::uint32_t>(i)));
    s.Run();
    ASSERT_TRUE(s.result.Written);
    const std::string old = s.out.Read("korva_db.xml");
    for (int i = c.after; i < c.before; ++i) std::filesystem::remove(s.roms / ("old" + std::to_string(i) + ".nes"));
    s.Prepare = [&](RecordingObserver& o) { o.replace = c.answer; };
    s.Run();
    const std::string label = std::to_string(c.before) + " to " + std::to_string(c.after);
    const auto& events = s.observer->events;
    const bool asked = std::count(events.begin(), events.end(),
                                  "confirm " + std::to_string(c.before) + " " + std::to_string(c.after)) == 1;
    EXPECT_EQ(asked, c.asked) << label;
    EXPECT_EQ(s.result.Written, c.written) << label;
    EXPECT_EQ(s.result.Declined, !c.written) << label;
    EXPECT_EQ(s.result.Previous, c.before) << label;
    EXPECT_EQ(s.out.Read("korva_db.xml") == old, !c.written || c.before == c.after) << label;
    EXPECT_EQ(std::count(events.begin(), events.end(), "reload"), c.written ? 1 : 0) << label;
    EXPECT_EQ(events.back(), "finished") << label;
  }
}

TEST(Scan, CancelledScanWritesNothingAndStopsEveryThread) {
  for (const int helpers : {0, 3}) {
    ScanRun s;
    s.out.Write("korva_db.xml", "old");
    for (int i = 0; i < 300; ++i) s.roms.Write("r" + std::to_string(100 + i) + ".nes", Nrom(static_cast<std::uint32_t>(i)));
    s.helpers = helpers;
    s.Prepare = [&](RecordingObserver& o) {
      o.onProgress = [&](int position) {
        if (position == 20) s.cancel.store(true);
      };
    };
    s.Run();
    EXPECT_TRUE(s.result.Cancelled);
    EXPECT_FALSE(s.result.Written);
    EXPECT_EQ(s.result.Examined, 20) << "helpers " << helpers;
    EXPECT_EQ(s.out.Read("korva_db.xml"), "old");
    EXPECT_EQ(s.observer->events.back(), "finished");
    EXPECT_EQ(std::count(s.observer->events.begin(), s.observer->events.end(), "reload"), 0);
    EXPECT_EQ(korva::ScanSummary(s.result),
              (Strings{"Scanning " + s.roms.path() + " was cancelled after 20 of 300 files.",
                       "The ROM database file was not changed."}));
  }
}

TEST(Scan, SeparatorIsAddedOnlyWhenMissing) {
  ScanRun s;
  s.roms.Write("g.nes", Nrom(1));
  std::string bare = s.roms.path();
  bare.pop_back();
  s.Run(bare);
  EXPECT_EQ(s.observer->events.front(), "started Scanning: " + s.roms.path());
  EXPECT_EQ(s.observer->library.ROMPath, s.roms.path());

  ScanRun root;
  root.Run(root.roms.path());  // already ends in a separator
  EXPECT_EQ(root.observer->events.front(), "started Scanning: " + root.roms.path());
  EXPECT_EQ(root.observer->library.ROMPath.find("//"), std::string::npos);
}

TEST(Scan, InvalidPathIsAnErrorAndTouchesNothing) {
  ScanRun s;
  s.out.Write("korva_db.xml", "old");
  s.Run(s.roms / "no-such-dir");
  EXPECT_FALSE(s.result.Written);
  EXPECT_TRUE(s.result.Invalid);
  EXPECT_EQ(korva::ScanSummary(s.result), Strings{"Invalid path: " + s.roms.path() + "no-such-dir/"});
  EXPECT_EQ(korva::ScanSummaryKind(s.result), korva::MsgKind::Error);
  EXPECT_EQ(s.observer->events, Strings{"finished"});
  EXPECT_EQ(s.out.Read("korva_db.xml"), "old");
}

TEST(Scan, UnreadableFileIsCountedAndNamedAndTheScanGoesOn) {
  ScanRun s;
  s.roms.Write("a.nes", Nrom(1));
  const std::string b = s.roms.Write("b.nes", Nrom(2));
  s.roms.Write("c.nes", Nrom(3));
  // b.nes vanishes after the listing, just before it is read; read-ahead
  // would have read it already.
  s.helpers = 0;
  s.Prepare = [&](RecordingObserver& o) {
    o.onProgress = [&](int position) {
      if (position == 2) std::filesystem::remove(b);
    };
  };
  s.Run();
  EXPECT_TRUE(s.result.Written);
  EXPECT_EQ(s.WrittenNames(), (Strings{"a.nes", "c.nes"}));
  EXPECT_EQ(s.result.Unreadable, 1);
  ASSERT_EQ(s.result.UnreadableFiles.size(), 1u);
  EXPECT_EQ(s.result.UnreadableFiles[0], "b.nes: No such file or directory");
}

TEST(Scan, FailedWriteIsReported) {
  ScanRun s;
  s.roms.Write("a.nes", Nrom(1));
  std::filesystem::create_directory(s.out / "korva_db.xml");  // a directory where the file should go
  s.Run();
  EXPECT_FALSE(s.result.Written);
  const Strings summary = korva::ScanSummary(s.result);
  ASSERT_EQ(summary.size(), 2u);
  EXPECT_EQ(summary[0].rfind("Scanning " + s.roms.path() + " stopped: ", 0), 0u) << summary[0];
  EXPECT_EQ(summary[1], "The ROM database file was not changed.");
  EXPECT_EQ(korva::ScanSummaryKind(s.result), korva::MsgKind::Error);
  EXPECT_TRUE(std::filesystem::is_directory(s.out / "korva_db.xml"));
  EXPECT_EQ(s.observer->events.back(), "finished");
}

TEST(Scan, CreatesTheDatabaseDirectoryWhenMissing) {
  ScanRun s;
  s.dbName = "korva/korva_db.xml";
  s.roms.Write("a.nes", Nrom(1));
  s.Run();
  EXPECT_TRUE(s.result.Written) << s.result.Error;
  EXPECT_EQ(s.observer->library.ROMNames, Strings{"a"});
}

TEST(Scan, ErrorFromTheReloadIsReportedButTheFileStaysWritten) {
  struct ThrowingReload : RecordingObserver {
    using RecordingObserver::RecordingObserver;
    void ReloadDatabase() override { throw std::runtime_error("reload failed"); }
  };
  TempDir roms, out;
  RecordingUI ui;
  HeaderDatabase db;
  ThrowingReload observer(out / "korva_db.xml", db, ui);
  const ScanResult result = korva::ScanRomDirectory(roms.path(), db, out / "korva_db.xml", observer);
  EXPECT_TRUE(result.Written);
  EXPECT_EQ(result.Error, "reload failed");
  EXPECT_EQ(korva::ScanSummary(result), Strings{"Scanning " + roms.path() + " stopped: reload failed"});
  EXPECT_EQ(observer.events.back(), "finished");
}

namespace {

// A directory of many files of every kind the scan meets, with duplicates
// spread over it, so that reading ahead has room to go wrong.
void FillMixedDirectory(TempDir& roms, HeaderDatabase& db) {
  const Bytes known = INesImage(1, 1, 0, 0, 0, 900);
  db = korva::ParseHeaderDatabase(korva::CrcText(RomCrc(known)) + ",3,16384,8192,v,0\r\n");
  for (int i = 0; i < 240; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "game %03d", i);
    const auto seed = static_cast<std::uint32_t>(i % 97);  // duplicates further down the list
    switch (i % 6) {
      case 0: roms.Write(std::string(name) + ".zip", korva::test::ZipBuilder().Deflated("g.nes", Nrom(seed)).Build()); break;
      case 1: roms.Write(std::string(name) + ".nes", INesImage(4, 1, 0, 0, 0, seed)); break;  // 64 KB PRG
      case 2: roms.Write(std::string(name) + ".NES", known); break;
      case 3: roms.Write(std::string(name) + ".zip", "not an archive"); break;
      default: roms.Write(std::string(name) + ".nes", Nrom(seed)); break;
    }
  }
}

}  // namespace

TEST(ScanReadAhead, GivesTheSameFileAndReportsAsReadingOneByOne) {
  std::string expectedXml;
  Strings expectedEvents, expectedNames;
  for (int helpers : {0, 1, 3}) {
    ScanRun s;
    FillMixedDirectory(s.roms, s.db);
    s.helpers = helpers;
    s.Run();
    ASSERT_TRUE(s.result.Error.empty()) << s.result.Error;
    ASSERT_EQ(s.result.Files, 240);
    // The directory itself is named in the file; compare what follows it.
    std::string xml = s.out.Read("korva_db.xml");
    xml = xml.substr(xml.find("</ROMPath>"));
    if (helpers == 0) {
      expectedXml = xml;
      expectedEvents = s.observer->events;
      expectedNames = s.observer->library.ROMNames;
      EXPECT_GT(s.result.Count, 50);
      continue;
    }
    EXPECT_EQ(xml, expectedXml) << "helpers " << helpers;
    ASSERT_EQ(s.observer->events.size(), expectedEvents.size());
    for (std::size_t i = 1; i < expectedEvents.size(); ++i) EXPECT_EQ(s.observer->events[i], expectedEvents[i]);
    EXPECT_EQ(s.observer->library.ROMNames, expectedNames);
  }
}

TEST(ScanReadAhead, ManySmallFilesComeOutInOrderUnderContention) {
  // Files that read in no time keep every thread claiming at once, at the
  // edge of the read-ahead window. Each is a header and 16 bytes of its own,
  // so every record is different and any mix-up shows in the file, then a
  // hole up to its 16 KB PRG + 8 KB CHR (sparse: no disk blocks to read).
  TempDir roms;
  for (int i = 0; i < 3000; ++i) {
    Bytes image = korva::test::INesHeader(1, 1, 1);
    for (int k = 0; k < 16; ++k) image.push_back(static_cast<std::uint8_t>((i >> (k % 2 ? 8 : 0)) + k));
    char name[16];
    std::snprintf(name, sizeof name, "t%04d.nes", i);
    roms.Write(name, image);
    std::filesystem::resize_file(roms / name, 16 + 16384 + 8192);
  }
  std::string first;
  for (int helpers : {0, 3, 3, 3}) {
    ScanRun s;
    s.helpers = helpers;
    s.Run(roms.path());
    ASSERT_TRUE(s.result.Error.empty()) << s.result.Error;
    ASSERT_EQ(s.result.Count, 3000);
    const std::string xml = s.out.Read("korva_db.xml");
    if (first.empty()) first = xml;
    EXPECT_EQ(xml, first) << "helpers " << helpers;
  }
}

TEST(ScanReadAhead, AFileThatFailsToReadIsCountedWhoeverReadsIt) {
  // Reading /proc/self/mem from its start fails (nothing is mapped at address
  // 0), whatever the permissions: a regular file whose read always fails.
  if (!std::filesystem::is_regular_file("/proc/self/mem")) GTEST_SKIP() << "no /proc";
  for (int helpers : {0, 1}) {
    ScanRun s;
    for (int i = 0; i < 100; ++i) s.roms.Write("r" + std::to_string(100 + i) + ".nes", Nrom(static_cast<std::uint32_t>(i)));
    std::filesystem::remove(s.roms / "r150.nes");
    std::filesystem::create_symlink("/proc/self/mem", s.roms / "r150.nes");
    s.helpers = helpers;
    s.Run();
    EXPECT_TRUE(s.result.Written) << "helpers " << helpers;
    EXPECT_EQ(s.result.Count, 99);
    ASSERT_EQ(s.result.UnreadableFiles.size(), 1u);
    EXPECT_EQ(s.result.UnreadableFiles[0].rfind("r150.nes: ", 0), 0u) << s.result.UnreadableFiles[0];
  }
}
