#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "CommandRun.h"
#include "TestArchives.h"
#include "romlib/ROMInfo.h"

using korva::test::Bytes;
using korva::test::INesImage;

namespace {

using InfoRun = korva::test::CommandRun;

InfoRun Info(const std::string& args) { return korva::test::RunCommand(std::string(KORVA_EXE) + " info " + args); }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(KorvaInfo, PrintsTheRecordOfANesFile) {
  const Bytes image = INesImage(2, 1, 0x01);
  korva::test::TempFile nes(image, ".nes");
  const InfoRun run = Info(nes.path());
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string crc = korva::CrcText(korva::test::ZlibCrc(Bytes(image.begin() + 16, image.end())));
  EXPECT_TRUE(Has(run.out, "CRC32      " + crc)) << run.out;
  EXPECT_TRUE(Has(run.out, "Mapper     0")) << run.out;
  EXPECT_TRUE(Has(run.out, "PRG ROM    32768 bytes")) << run.out;
  EXPECT_TRUE(Has(run.out, "CHR ROM    8192 bytes")) << run.out;
  EXPECT_TRUE(Has(run.out, "Mirroring  v")) << run.out;
  EXPECT_TRUE(Has(run.out, "Timing     NesNtsc")) << run.out;
  EXPECT_TRUE(Has(run.out, "Source     iNES header")) << run.out;
  EXPECT_TRUE(Has(run.out, "can hold it")) << run.out;
}

TEST(KorvaInfo, SaysWhyTheCartridgeCannotHoldARom) {
  korva::test::TempFile nes(INesImage(8, 1, 0x40), ".nes");  // mapper 4, 128 KB PRG
  const Bytes game = INesImage(2, 1);
  korva::test::TempFile headerOnly(Bytes(game.begin(), game.begin() + 16), ".nes");
  korva::test::TempFile cut(Bytes(game.begin(), game.begin() + 1000), ".nes");
  const InfoRun run = Info(nes.path() + " " + headerOnly.path() + " " + cut.path());
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "cannot hold it: mapper 4 (needs 0, 3 or 87)")) << run.out;
  EXPECT_TRUE(Has(run.out, "CRC32      FFFFFFFF")) << run.out;
  EXPECT_TRUE(Has(run.out, "cannot hold it: 0 bytes of ROM data after its header (needs PRG 32768 + CHR 8192 bytes)"))
      << run.out;
  EXPECT_TRUE(Has(run.out, "cannot hold it: 984 bytes of ROM data")) << run.out;
  EXPECT_FALSE(Has(run.out, "can hold it")) << run.out;
}

TEST(KorvaInfo, ReadsTheFileInAZip) {
  korva::test::ZipBuilder zip;
  zip.Folder("roms/").Deflated("roms/Game.nes", INesImage(1, 1, 0x30));
  korva::test::TempFile file(zip.Build(), ".zip");
  const InfoRun run = Info(file.path());
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "Mapper     3")) << run.out;
  EXPECT_TRUE(Has(run.out, "PRG ROM    16384 bytes")) << run.out;
}

TEST(KorvaInfo, UnreadableFilesGiveStatus1AndTheReason) {
  korva::test::TempFile good(INesImage(2, 1), ".nes");
  korva::test::TempFile notZip(korva::test::PatternBytes(100, 3), ".zip");
  korva::test::TempFile notNes(korva::test::PatternBytes(100, 3), ".nes");
  korva::test::TempFile two(korva::test::ZipBuilder().Stored("a.nes", INesImage(1, 1)).Stored("b.nes", INesImage(1, 1)).Build(), ".zip");
  korva::test::TempFile empty(Bytes{}, ".zip");
  korva::test::ZipBuilder encrypted;
  encrypted.Deflated("Game.nes", INesImage(2, 1)).Last().flags = 1;
  korva::test::TempFile secret(encrypted.Build(), ".zip");
  korva::test::TempFile large(INesImage(2, 1), ".nes");  // a valid header, then a sparse tail past 64 MiB
  ASSERT_EQ(::truncate(large.path().c_str(), static_cast<off_t>(korva::kMaxRomFileSize) + 1), 0);
  const std::string fifo = large.path() + ".fifo.nes";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const InfoRun run = Info(good.path() + " " + notZip.path() + " " + notNes.path() + " " + two.path() +
                           " /tmp/korva-no-such-file.nes " + large.path() + " " + fifo + " " + empty.path() + " " + secret.path());
  std::remove(fifo.c_str());
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_TRUE(Has(run.out, "can hold it")) << run.out;  // the good file is still reported
  EXPECT_TRUE(Has(run.out, notZip.path() + ": No ZIP header found")) << run.out;
  EXPECT_TRUE(Has(run.out, notNes.path() + ": not an iNES image")) << run.out;
  EXPECT_TRUE(Has(run.out, two.path() + ": the archive holds 2 files")) << run.out;
  EXPECT_TRUE(Has(run.out, "korva-no-such-file.nes: No such file or directory")) << run.out;
  EXPECT_TRUE(Has(run.out, large.path() + ": larger than 64 MiB")) << run.out;
  EXPECT_TRUE(Has(run.out, fifo + ": not a regular file")) << run.out;
  // The ZIP reader's refusal stays, with the check that failed.
  EXPECT_TRUE(Has(run.out, empty.path() + ": Missing File: file is empty")) << run.out;
  EXPECT_TRUE(Has(run.out, secret.path() + ": Error decompressing Game.nes: encrypted entry")) << run.out;
}
