#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "CommandRun.h"
#include "TempDir.h"
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
  const korva::test::TempDir temp;
  const std::string nes = temp.Write("nes.nes", image);
  const InfoRun run = Info(nes);
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
  const korva::test::TempDir temp;
  const std::string nes = temp.Write("nes.nes", INesImage(8, 1, 0x40));  // mapper 4, 128 KB PRG
  const Bytes game = INesImage(2, 1);
  const std::string headerOnly = temp.Write("header.nes", Bytes(game.begin(), game.begin() + 16));
  const std::string cut = temp.Write("cut.nes", Bytes(game.begin(), game.begin() + 1000));
  const InfoRun run = Info(nes + " " + headerOnly + " " + cut);
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
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.zip", zip.Build());
  const InfoRun run = Info(file);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(Has(run.out, "Mapper     3")) << run.out;
  EXPECT_TRUE(Has(run.out, "PRG ROM    16384 bytes")) << run.out;
}

TEST(KorvaInfo, UnreadableFilesGiveStatus1AndTheReason) {
  const korva::test::TempDir temp;
  const std::string good = temp.Write("good.nes", INesImage(2, 1));
  const std::string notZip = temp.Write("notZip.zip", korva::test::PatternBytes(100, 3));
  const std::string notNes = temp.Write("notNes.nes", korva::test::PatternBytes(100, 3));
  const std::string two = temp.Write("two.zip", korva::test::ZipBuilder().Stored("a.nes", INesImage(1, 1)).Stored("b.nes", INesImage(1, 1)).Build());
  const std::string empty = temp.Write("empty.zip", Bytes{});
  korva::test::ZipBuilder encrypted;
  encrypted.Deflated("Game.nes", INesImage(2, 1)).Last().flags = 1;
  const std::string secret = temp.Write("secret.zip", encrypted.Build());
  const std::string large = temp.Write("large.nes", INesImage(2, 1));  // a valid header, then a sparse tail past 64 MiB
  ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(korva::kMaxRomFileSize) + 1), 0);
  const std::string fifo = large + ".fifo.nes";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const InfoRun run = Info(good + " " + notZip + " " + notNes + " " + two + " /tmp/korva-no-such-file.nes " + large +
                           " " + fifo + " " + empty + " " + secret);
  std::remove(fifo.c_str());
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_TRUE(Has(run.out, "can hold it")) << run.out;  // the good file is still reported
  EXPECT_TRUE(Has(run.out, notZip + ": No ZIP header found")) << run.out;
  EXPECT_TRUE(Has(run.out, notNes + ": not an iNES image")) << run.out;
  EXPECT_TRUE(Has(run.out, two + ": the archive holds 2 files")) << run.out;
  EXPECT_TRUE(Has(run.out, "korva-no-such-file.nes: No such file or directory")) << run.out;
  EXPECT_TRUE(Has(run.out, large + ": larger than 64 MiB")) << run.out;
  EXPECT_TRUE(Has(run.out, fifo + ": not a regular file")) << run.out;
  // The ZIP reader's refusal stays, with the check that failed.
  EXPECT_TRUE(Has(run.out, empty + ": Missing File: file is empty")) << run.out;
  EXPECT_TRUE(Has(run.out, secret + ": Error decompressing Game.nes: encrypted entry")) << run.out;
}
