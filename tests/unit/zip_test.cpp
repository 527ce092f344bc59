#include "romlib/ZipRead.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "TempDir.h"
#include "TestArchives.h"

using korva::ESynZipException;
using korva::TFileInfo;
using korva::TZipRead;
using korva::test::Bytes;
using korva::test::ZipBuilder;

namespace {

// A heap copy of exactly `length` bytes, so that the address sanitizer sees
// any read past the archive's end.
struct Exact {
  explicit Exact(const Bytes& b, std::size_t length = SIZE_MAX)
      : size(std::min(length, b.size())), bytes(new std::uint8_t[size == 0 ? 1 : size]) {
    std::copy(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(size), bytes.get());
  }
  std::size_t size;
  std::unique_ptr<std::uint8_t[]> bytes;
};

std::string OpenError(const Bytes& archive) {
  Exact exact(archive);
  try {
    TZipRead zip(exact.bytes.get(), exact.size);
    return "";
  } catch (const ESynZipException& e) {
    return e.Refusal();
  }
}

std::string FileOpenError(const std::string& path) {
  try {
    TZipRead zip(path);
    return "";
  } catch (const ESynZipException& e) {
    return e.Refusal();
  }
}

Bytes Collect(const TZipRead& zip, int i, bool* ok, std::size_t* largestChunk = nullptr) {
  Bytes out;
  std::size_t largest = 0;
  *ok = zip.UnZip(i, [&](const std::uint8_t* p, std::size_t n) {
    out.insert(out.end(), p, p + n);
    largest = std::max(largest, n);
  });
  if (largestChunk) *largestChunk = largest;
  return out;
}

// Opens and extracts every entry both ways; a damaged archive may raise
// ESynZipException or give false/empty, nothing else.
void OpenAndExtractEverything(const std::uint8_t* data, std::size_t size) {
  try {
    TZipRead zip(data, size);
    for (int i = 0; i < zip.Count(); ++i) {
      TFileInfo info;
      zip.RetrieveFileInfo(i, info);
      zip.LocalUncompressedSize(i);
      try {
        zip.UnZip(i);
      } catch (const ESynZipException&) {
      }
      try {
        zip.UnZip(i, [](const std::uint8_t*, std::size_t) {});
      } catch (const ESynZipException&) {
      }
    }
  } catch (const ESynZipException&) {
  }
}

Bytes TwoEntryArchive() {
  ZipBuilder zip;
  zip.Stored("stored.txt", std::string_view("plain stored text"));
  zip.Deflated("deflated.nes", korva::test::INesImage(1, 1));
  return zip.Build();
}

}  // namespace

TEST(ZipRead, ExtractsStoredAndDeflatedEntriesBothWays) {
  const Bytes rom = korva::test::INesImage(2, 1);
  ZipBuilder b;
  b.Stored("a.txt", std::string_view("hello, stored world"));
  b.Deflated("Game.nes", rom);
  const Bytes archive = b.Build();
  Exact exact(archive);
  TZipRead zip(exact.bytes.get(), exact.size);
  ASSERT_EQ(zip.Count(), 2);
  EXPECT_EQ(zip.Entry(0).name, "a.txt");
  EXPECT_EQ(zip.Entry(1).name, "Game.nes");
  EXPECT_EQ(zip.LocalUncompressedSize(1), rom.size());

  const Bytes text = zip.UnZip(0);
  EXPECT_EQ(std::string(text.begin(), text.end()), "hello, stored world");
  EXPECT_EQ(zip.UnZip(1), rom);

  bool ok = false;
  EXPECT_EQ(Collect(zip, 0, &ok), text);
  EXPECT_TRUE(ok);
  EXPECT_EQ(Collect(zip, 1, &ok), rom);
  EXPECT_TRUE(ok);

  TFileInfo info;
  ASSERT_TRUE(zip.RetrieveFileInfo(1, info));
  EXPECT_EQ(info.zzipMethod, 8);
  EXPECT_EQ(info.zfullSize, rom.size());
  EXPECT_EQ(info.zcrc32, korva::test::ZlibCrc(rom));
  EXPECT_LT(info.zzipSize, rom.size());
  EXPECT_EQ(info.nameLen, 8);
}

TEST(ZipRead, EmptyEntriesExtractStoredAndDeflated) {
  ZipBuilder b;
  b.Stored("empty.bin", Bytes{});
  b.Deflated("empty.def", Bytes{});
  const Bytes archive = b.Build();
  TZipRead zip(archive.data(), archive.size());
  ASSERT_EQ(zip.Count(), 2);
  EXPECT_TRUE(zip.UnZip(0).empty());
  EXPECT_TRUE(zip.UnZip(1).empty());
  bool ok = false;
  Collect(zip, 1, &ok);
  EXPECT_TRUE(ok);
}

TEST(ZipRead, StreamExtractionUsesChunksOfAtMost128K) {
  const Bytes big = korva::test::PatternBytes(300 * 1024 + 17, 9);
  for (const bool deflate : {false, true}) {
    ZipBuilder b;
    if (deflate) b.Deflated("big.bin", big);
    else b.Stored("big.bin", big);
    const Bytes archive = b.Build();
    TZipRead zip(archive.data(), archive.size());
    bool ok = false;
    std::size_t largest = 0;
    EXPECT_EQ(Collect(zip, 0, &ok, &largest), big);
    EXPECT_TRUE(ok);
    EXPECT_LE(largest, 128u * 1024u);
  }
}

TEST(ZipRead, FolderEntryIsNotCountedAndSlashesBecomeBackslashes) {
  ZipBuilder b;
  b.Folder("roms/").Stored("roms/Game.nes", korva::test::INesImage(1, 1));
  const Bytes archive = b.Build();
  TZipRead zip(archive.data(), archive.size());
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.Entry(0).name, "roms\\Game.nes");
  EXPECT_EQ(zip.UnZip(0), korva::test::INesImage(1, 1));
  EXPECT_THROW(zip.Entry(1), std::out_of_range);
}

TEST(ZipRead, EntryWithEmptyNameIsNotCounted) {
  ZipBuilder b;
  b.Stored("", std::string_view("nameless")).Stored("b.txt", std::string_view("b"));
  const Bytes archive = b.Build();
  TZipRead zip(archive.data(), archive.size());
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.Entry(0).name, "b.txt");
}

TEST(ZipRead, NamesAreConvertedToUtf8) {
  ZipBuilder b;
  b.Stored(std::string("Pok\x82mon \x9B.nes"), std::string_view("x"));  // CP437: é, ¢
  b.Stored("Caf\xC3\xA9.nes", std::string_view("y"));
  b.Last().flags = 1 << 11;
  b.Stored("bad\xC3(\xF0\x9F\x98\x80).nes", std::string_view("z"));  // a cut sequence, then a whole one
  b.Last().flags = 1 << 11;
  const Bytes archive = b.Build();
  TZipRead zip(archive.data(), archive.size());
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_EQ(zip.Entry(0).name, "Pok\xC3\xA9mon \xC2\xA2.nes");
  EXPECT_EQ(zip.Entry(1).name, "Caf\xC3\xA9.nes");
  EXPECT_EQ(zip.Entry(2).name, "bad\xEF\xBF\xBD(\xF0\x9F\x98\x80).nes");
  // The stored name is the bytes as they stand in the local header.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(zip.Entry(0).storedName), 13),
            "Pok\x82mon \x9B.nes");
}

TEST(ZipRead, EndRecordIsFoundBehindCommentsUpTo127Bytes) {
  for (const std::size_t length : {0u, 22u, 100u, 127u}) {
    ZipBuilder b;
    b.Stored("a.txt", std::string_view("abc")).Comment(std::string(length, 'c'));
    const Bytes archive = b.Build();
    EXPECT_EQ(OpenError(archive), "") << "comment of " << length;
  }
  for (const std::size_t length : {128u, 200u}) {
    ZipBuilder b;
    b.Stored("a.txt", std::string_view("abc")).Comment(std::string(length, 'c'));
    EXPECT_EQ(OpenError(b.Build()), "ZIP format") << "comment of " << length;
  }
}

TEST(ZipRead, EmptyArchiveHasNoEntries) {
  ZipBuilder b;
  const Bytes archive = b.Build();
  ASSERT_EQ(archive.size(), 22u);
  TZipRead zip(archive.data(), archive.size());
  EXPECT_EQ(zip.Count(), 0);
  EXPECT_TRUE(zip.UnZip(0).empty());
  TFileInfo info;
  EXPECT_FALSE(zip.RetrieveFileInfo(0, info));

  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.zip", archive);
  TZipRead fromFile(file);
  EXPECT_EQ(fromFile.Count(), 0);
}

TEST(ZipRead, DataDescriptorSizesComeFromTheCentralDirectory) {
  const Bytes rom = korva::test::INesImage(1, 1, 0, 0, 0, 5);
  ZipBuilder b;
  b.Deflated("Game.nes", rom);
  b.Last().dataDescriptor = true;
  b.Stored("after.txt", std::string_view("after"));
  const Bytes archive = b.Build();
  Exact exact(archive);
  TZipRead zip(exact.bytes.get(), exact.size);
  ASSERT_EQ(zip.Count(), 2);
  EXPECT_EQ(zip.LocalUncompressedSize(0), 0u);
  TFileInfo info;
  ASSERT_TRUE(zip.RetrieveFileInfo(0, info));
  EXPECT_EQ(info.zfullSize, rom.size());
  EXPECT_EQ(info.zcrc32, korva::test::ZlibCrc(rom));
  EXPECT_EQ(zip.UnZip(0), rom);
  bool ok = false;
  EXPECT_EQ(Collect(zip, 0, &ok), rom);
  EXPECT_TRUE(ok);
}

TEST(ZipRead, DataDescriptorIsSearchedWhenTheCentralSizesAreZip64Markers) {
  const Bytes first = korva::test::PatternBytes(5000, 1);
  const Bytes second = korva::test::PatternBytes(3000, 2);
  ZipBuilder b;
  b.Deflated("one.bin", first);
  b.Last().dataDescriptor = true;
  b.Last().centralSizesZip64 = true;
  b.Stored("two.bin", second);
  b.Last().dataDescriptor = true;
  b.Last().centralSizesZip64 = true;
  const Bytes archive = b.Build();
  Exact exact(archive);
  TZipRead zip(exact.bytes.get(), exact.size);
  ASSERT_EQ(zip.Count(), 2);
  TFileInfo info;
  ASSERT_TRUE(zip.RetrieveFileInfo(0, info));
  EXPECT_EQ(info.zfullSize, first.size());
  EXPECT_EQ(info.zzipSize, b.LocalOffset(1) - 16 - b.DataOffset(0));
  EXPECT_EQ(zip.UnZip(0), first);
  ASSERT_TRUE(zip.RetrieveFileInfo(1, info));
  EXPECT_EQ(info.zfullSize, second.size());
  EXPECT_EQ(zip.UnZip(1), second);
}

TEST(ZipRead, DataDescriptorThatCannotBeFoundOrHoldsZeroSizesGivesNothing) {
  {
    ZipBuilder b;
    b.Stored("one.bin", korva::test::PatternBytes(100, 1));
    b.Last().dataDescriptor = true;
    b.Last().centralSizesZip64 = true;
    b.Last().descriptorSignature = false;
    const Bytes archive = b.Build();
    TZipRead zip(archive.data(), archive.size());
    TFileInfo info;
    EXPECT_FALSE(zip.RetrieveFileInfo(0, info));
    EXPECT_TRUE(zip.UnZip(0).empty());
    bool ok = true;
    Collect(zip, 0, &ok);
    EXPECT_FALSE(ok);
  }
  {
    ZipBuilder b;
    b.Stored("one.bin", korva::test::PatternBytes(100, 1));
    b.Last().dataDescriptor = true;
    b.Last().centralSizesZip64 = true;
    Bytes archive = b.Build();
    // The descriptor's uncompressed size becomes 0.
    korva::test::Set32(archive, b.DataOffset(0) + 100 + 12, 0);
    TZipRead zip(archive.data(), archive.size());
    TFileInfo info;
    EXPECT_FALSE(zip.RetrieveFileInfo(0, info));
  }
}

TEST(ZipRead, DescriptorFlagWithLocalSizesIsExtendedFormat) {
  ZipBuilder b;
  b.Stored("a.bin", korva::test::PatternBytes(50, 1));
  b.Last().dataDescriptor = true;
  b.Last().localSizesToo = true;
  EXPECT_EQ(OpenError(b.Build()), "ZIP extended format");
}

TEST(ZipRead, Zip64MarkersInTheLocalHeaderAreRefused) {
  ZipBuilder b;
  b.Stored("a.bin", korva::test::PatternBytes(50, 1));
  b.Last().localSizesZip64 = true;
  EXPECT_EQ(OpenError(b.Build()), "ZIP64 format not supported");
}

TEST(ZipRead, UnsupportedMethodIsRefusedAtOpeningWithTheConvertedName) {
  ZipBuilder b;
  b.Stored("ok.txt", std::string_view("fine"));
  b.Stored("dir/bz.nes", std::string_view("pretend bzip2"));
  b.Last().method = 12;
  EXPECT_EQ(OpenError(b.Build()), "Unsupported compression method 12 for dir\\bz.nes");
}

// Damaged entry data: extracting the whole entry raises the row's refusal (with none given, any
// refusal whose message has the row's words); streaming it gives false, or raises for data that is
// not deflate at all.
TEST(ZipRead, DamagedEntryDataIsRefusedBothWays) {
  const Bytes rom = korva::test::INesImage(1, 1);
  const Bytes data = korva::test::PatternBytes(200000, 4);
  const Bytes full = korva::test::RawDeflate(data);
  const struct {
    const char* what;
    Bytes archive;
    std::string refusal, has;
    bool streamThrows;
  } cases[] = {
      {"altered stored data fails the CRC check", [&] {
         ZipBuilder b;
         b.Stored("Game.nes", rom);
         Bytes archive = b.Build();
         archive[b.DataOffset(0) + 100] ^= 0x01;
         return archive;
       }(), "Error decompressing Game.nes", "", false},
      {"a wrong recorded CRC fails both ways", [&] {
         ZipBuilder b;
         b.Deflated("Game.nes", rom);
         b.Last().corruptCrc = true;
         return b.Build();
       }(), "", "", false},
      {"deflate data that ends early stops the extraction", [&] {
         ZipBuilder b;
         b.Deflated("cut.bin", data);
         b.Last().useStoredOverride = true;
         b.Last().storedOverride = Bytes(full.begin(), full.begin() + full.size() / 2);
         return b.Build();
       }(), "Error -5 during UnCompressMem process", "", false},
      {"deflate data that is not deflate is an error", [] {
         ZipBuilder b;
         b.Deflated("junk.bin", korva::test::PatternBytes(1000, 4));
         b.Last().useStoredOverride = true;
         b.Last().storedOverride = Bytes(64, 0xFF);  // block type 3: invalid
         return b.Build();
       }(), "Error -3 during UnCompressMem process", "", true},
      {"an entry above 64 MiB is refused before allocation", [] {
         ZipBuilder b;
         b.Stored("huge.bin", Bytes(10, 1));
         Bytes archive = b.Build();
         // Local and central uncompressed sizes claim 65 MiB.
         korva::test::Set32(archive, b.LocalOffset(0) + 22, 65u << 20);
         korva::test::Set32(archive, b.CentralOffset() + 24, 65u << 20);
         return archive;
       }(), "", "too large", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Exact exact(c.archive);
    TZipRead zip(exact.bytes.get(), exact.size);
    try {
      zip.UnZip(0);
      ADD_FAILURE() << "no error";
    } catch (const ESynZipException& e) {
      if (!c.refusal.empty()) {
        EXPECT_EQ(e.Refusal(), c.refusal);
      }
      EXPECT_NE(std::string(e.what()).find(c.has), std::string::npos) << e.what();
    }
    bool ok = true;
    if (c.streamThrows) {
      EXPECT_THROW(Collect(zip, 0, &ok), ESynZipException);
    } else {
      Collect(zip, 0, &ok);
      EXPECT_FALSE(ok);
    }
  }
}

TEST(ZipRead, StreamStopsWhenDataInflatesBeyondTheRecordedSize) {
  const Bytes zeros(10 * 1024 * 1024, 0);
  ZipBuilder b;
  b.Deflated("bomb.bin", Bytes(1000, 0));
  b.Last().useStoredOverride = true;
  b.Last().storedOverride = korva::test::RawDeflate(zeros, 9);
  const Bytes archive = b.Build();
  TZipRead zip(archive.data(), archive.size());
  std::size_t received = 0;
  EXPECT_FALSE(zip.UnZip(0, [&](const std::uint8_t*, std::size_t n) { received += n; }));
  EXPECT_LE(received, 1000u);
  EXPECT_THROW(zip.UnZip(0), ESynZipException);
}

TEST(ZipRead, ShortBufferIsZipFormat) {
  const Bytes archive = ZipBuilder().Build();
  for (std::size_t n = 0; n < 22; ++n) EXPECT_EQ(OpenError(Bytes(archive.begin(), archive.begin() + n)), "ZIP format");
  EXPECT_THROW(TZipRead(nullptr, 0), ESynZipException);
}

TEST(ZipRead, BadOffsetsAndCountsAreZipFormat) {
  const Bytes good = TwoEntryArchive();
  ZipBuilder b;
  b.Stored("stored.txt", std::string_view("plain stored text"));
  b.Deflated("deflated.nes", korva::test::INesImage(1, 1));
  b.Build();
  const std::size_t end = b.EndOffset(), central = b.CentralOffset();
  auto with = [&](std::size_t at, std::uint32_t value, int width) {
    Bytes bad = good;
    if (width == 4) korva::test::Set32(bad, at, value);
    else korva::test::Set16(bad, at, value);
    return OpenError(bad);
  };
  EXPECT_EQ(with(end + 16, 0xFFFFFF00, 4), "ZIP format");       // central directory offset
  EXPECT_EQ(with(end + 16, static_cast<std::uint32_t>(end), 4), "ZIP format");
  EXPECT_EQ(with(end + 10, 3, 2), "ZIP format");                // one entry too many
  EXPECT_EQ(with(end + 10, 0xFFFF, 2), "ZIP format");
  EXPECT_EQ(with(central + 42, 0xFFFFFFF0, 4), "ZIP format");   // local header offset
  EXPECT_EQ(with(central + 42, 5, 4), "ZIP format");            // not a local header
  EXPECT_EQ(with(central + 28, 0xFFFF, 2), "ZIP format");       // central name length
  EXPECT_EQ(with(central + 32, 0xFFFF, 2), "ZIP format");       // central comment length
  EXPECT_EQ(with(26, 0xFFFF, 2), "ZIP format");                 // local name length
  EXPECT_EQ(with(central, 0x12345678, 4), "ZIP format");        // central signature
  EXPECT_EQ(OpenError(good), "");
}

TEST(ZipRead, StoredSizeBeyondTheBufferIsRefused) {
  ZipBuilder b;
  b.Stored("a.bin", korva::test::PatternBytes(100, 1));
  Bytes archive = b.Build();
  korva::test::Set32(archive, b.LocalOffset(0) + 22, 1u << 20);
  korva::test::Set32(archive, b.LocalOffset(0) + 18, 1u << 20);
  Exact exact(archive);
  TZipRead zip(exact.bytes.get(), exact.size);
  EXPECT_THROW(zip.UnZip(0), ESynZipException);
  bool ok = true;
  Collect(zip, 0, &ok);
  EXPECT_FALSE(ok);
}

TEST(ZipRead, BadIndexesGiveNothing) {
  const Bytes archive = TwoEntryArchive();
  TZipRead zip(archive.data(), archive.size());
  TFileInfo info;
  EXPECT_FALSE(zip.RetrieveFileInfo(-1, info));
  EXPECT_FALSE(zip.RetrieveFileInfo(2, info));
  EXPECT_TRUE(zip.UnZip(-1).empty());
  EXPECT_EQ(zip.LocalUncompressedSize(7), 0u);
  bool ok = true;
  Collect(zip, 9, &ok);
  EXPECT_FALSE(ok);
}

TEST(ZipRead, CloseEmptiesTheReader) {
  const Bytes archive = TwoEntryArchive();
  TZipRead zip(archive.data(), archive.size());
  zip.Close();
  EXPECT_EQ(zip.Count(), 0);
  EXPECT_TRUE(zip.UnZip(0).empty());
}

TEST(ZipRead, TruncatedArchivesAreRefusedOrReadSafely) {
  const Bytes archive = TwoEntryArchive();
  for (std::size_t n = 0; n <= archive.size(); ++n) {
    Exact exact(archive, n);
    OpenAndExtractEverything(exact.bytes.get(), exact.size);
  }
}

TEST(ZipRead, MutatedArchivesAreRefusedOrReadSafely) {
  ZipBuilder b;
  b.Folder("roms/").Deflated("roms/Game.nes", korva::test::INesImage(1, 1));
  b.Last().dataDescriptor = true;
  b.Last().centralSizesZip64 = true;
  b.Stored("readme.txt", std::string_view("a short text")).Comment("comment");
  const Bytes archive = b.Build();
  std::mt19937 rng(20261207);  // fixed seed: the same cases every run
  for (int round = 0; round < 3000; ++round) {
    Bytes bad = archive;
    const int changes = 1 + static_cast<int>(rng() % 4);
    for (int c = 0; c < changes; ++c) {
      // Mostly in the headers, where the offsets are.
      const std::size_t at = (rng() % 2) ? rng() % bad.size() : b.CentralOffset() + rng() % (bad.size() - b.CentralOffset());
      bad[at] = static_cast<std::uint8_t>(rng());
    }
    Exact exact(bad);
    OpenAndExtractEverything(exact.bytes.get(), exact.size);
  }
}

// Entry i as the reader gave it before libdeflate did the inflating: zlib's
// one-shot inflate into the recorded size, its code in the message, then the
// length and CRC check. The bytes, or the message.
std::string ZlibVerdict(const TZipRead& zip, int i, const std::uint8_t* end, Bytes& out) {
  TFileInfo info;
  zip.RetrieveFileInfo(i, info);
  const korva::TZipEntry& e = zip.Entry(i);
  out.assign(info.zfullSize, 0);
  z_stream z{};
  inflateInit2(&z, -15);
  std::uint8_t none = 0;
  z.next_in = const_cast<Bytef*>(info.zzipSize != 0 ? e.data : &none);
  z.avail_in = std::min<std::size_t>(info.zzipSize, static_cast<std::size_t>(end - e.data));
  z.next_out = out.empty() ? &none : out.data();
  z.avail_out = info.zfullSize;
  const int rc = inflate(&z, Z_FINISH);
  const std::size_t produced = info.zfullSize - z.avail_out;
  inflateEnd(&z);
  if (rc != Z_OK && rc != Z_STREAM_END) return "Error " + std::to_string(rc) + " during UnCompressMem process";
  if (produced != info.zfullSize || korva::test::ZlibCrc(out) != info.zcrc32) return "Error decompressing " + e.name;
  return "";
}

// Every deflated entry of `archive` gives the same bytes, or the same
// message, from the reader as from zlib alone. The number of entries compared.
int CompareWithZlib(const Bytes& archive) {
  Exact exact(archive);
  int compared = 0;
  try {
    TZipRead zip(exact.bytes.get(), exact.size);
    for (int i = 0; i < zip.Count(); ++i) {
      TFileInfo info;
      const korva::TZipEntry& e = zip.Entry(i);
      // Only the inflate changed: entries refused before it are left out.
      if (!zip.RetrieveFileInfo(i, info) || info.zzipMethod != 8 || info.zfullSize > korva::kMaxZipEntrySize ||
          info.zzipSize > static_cast<std::size_t>(exact.bytes.get() + exact.size - e.data))
        continue;
      Bytes expected;
      const std::string expectedError = ZlibVerdict(zip, i, exact.bytes.get() + exact.size, expected);
      std::string error;
      Bytes got;
      try {
        got = zip.UnZip(i);
      } catch (const ESynZipException& x) {
        error = x.Refusal();
      }
      EXPECT_EQ(error, expectedError);
      if (expectedError.empty()) {
        EXPECT_TRUE(got == expected) << "different bytes";
      }
      ++compared;
    }
  } catch (const ESynZipException&) {
  }
  return compared;
}

TEST(ZipRead, LibdeflateGivesZlibsBytesAndVerdicts) {
  // The fuzz seeds, whole and with bytes changed anywhere.
  std::mt19937 rng(20261208);
  int compared = 0;
  for (const auto& seed : std::filesystem::directory_iterator(KORVA_SOURCE_DIR "/fuzz/seeds/zip")) {
    std::ifstream in(seed.path(), std::ios::binary);
    const Bytes archive{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    compared += CompareWithZlib(archive);
    for (int round = 0; round < 100; ++round) {
      Bytes bad = archive;
      for (int c = 1 + static_cast<int>(rng() % 3); c > 0; --c) bad[rng() % bad.size()] = static_cast<std::uint8_t>(rng());
      compared += CompareWithZlib(bad);
    }
  }
  // Crafted entries: a ROM image in every kind of deflate block, then cut
  // short, changed, followed by junk, recorded with sizes one off and a wrong CRC.
  const Bytes image = korva::test::INesImage(2, 1, 0x01, 0, 0, 7);
  const Bytes streams[] = {korva::test::RawDeflate(image, 0), korva::test::RawDeflate(image, 1),
                           korva::test::RawDeflate(image, 9), korva::test::RawDeflate(image, 6, Z_FIXED),
                           korva::test::RawDeflate(image, 6, Z_HUFFMAN_ONLY), korva::test::RawDeflate(image, 6, Z_RLE)};
  for (const Bytes& stream : streams) {
    std::vector<Bytes> cases = {stream};
    for (std::size_t cut = 0; cut < stream.size(); cut += stream.size() / 16 + 1)
      cases.emplace_back(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    for (int round = 0; round < 40; ++round) {
      Bytes bad = stream;
      bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      cases.push_back(bad);
    }
    Bytes junk = stream;
    junk.insert(junk.end(), 100, 0xA5);
    cases.push_back(junk);
    for (const Bytes& deflated : cases) {
      for (const int recorded : {0, -1, 1, 2}) {  // 2: the right size, a wrong CRC
        ZipBuilder b;
        b.Deflated("Game.nes", image);
        b.Last().useStoredOverride = true;
        b.Last().storedOverride = deflated;
        b.Last().corruptCrc = recorded == 2;
        Bytes archive = b.Build();
        const int sizeChange = recorded == 2 ? 0 : recorded;
        korva::test::Set32(archive, b.LocalOffset(0) + 22, static_cast<std::uint32_t>(image.size() + sizeChange));
        compared += CompareWithZlib(archive);
      }
    }
  }
  EXPECT_GT(compared, 1000);
}

// What the reader says, refusal and reason, of archives laid out the way
// real tools write them, and of damage that only the reason tells apart.
TEST(ZipRead, RefusalsNameTheCheckThatFailed) {
  using Entry = korva::test::ZipEntrySpec;
  const Bytes rom = korva::test::INesImage(2, 1);
  // Game.nes deflated, as `change` alters it; `damage` then alters the bytes.
  const auto archive = [&](auto change, auto damage) {
    ZipBuilder b;
    b.Deflated("Game.nes", rom);
    change(b, b.Last());
    Bytes bytes = b.Build();
    damage(b, bytes);
    return bytes;
  };
  const auto none = [](auto&&...) {};
  const auto full = korva::test::RawDeflate(rom);
  const struct {
    std::string expected;
    Bytes archive;
  } cases[] = {
      // Info-ZIP zip -e: bit 0, and bit 3 with the CRC in the local header too.
      {"ZIP extended format: encrypted entry Game.nes",
       archive([](ZipBuilder&, Entry& e) { e.flags = 1, e.dataDescriptor = true, e.localSizesToo = true; }, none)},
      // An encrypted entry without a data descriptor.
      {"Error decompressing Game.nes: encrypted entry", archive([](ZipBuilder&, Entry& e) { e.flags = 1; }, none)},
      // Info-ZIP zip -fd and bsdtar: bit 3, and the uncompressed size in the local header.
      {"ZIP extended format: Game.nes records a size both in its local header and in a data descriptor",
       archive([](ZipBuilder&, Entry& e) { e.dataDescriptor = true, e.localSizesToo = true; }, none)},
      // Info-ZIP zip -fd reading a pipe: bit 3, and ZIP64 markers in the local header.
      {"ZIP extended format: ZIP64 entry Game.nes (not supported)",
       archive([](ZipBuilder&, Entry& e) { e.dataDescriptor = true, e.localSizesToo = true, e.localSizesZip64 = true; },
               none)},
      // Python's zipfile with force_zip64.
      {"ZIP64 format not supported: entry Game.nes",
       archive([](ZipBuilder&, Entry& e) { e.localSizesZip64 = true; }, none)},
      // 7-Zip with AES: method 99.
      {"Unsupported compression method 99 for Game.nes: encrypted entry (AES)",
       archive([](ZipBuilder&, Entry& e) { e.flags = 1, e.method = 99; }, none)},
      // Info-ZIP zip -z with a long comment.
      {"ZIP format: archive comment longer than 127 bytes (302 bytes)",
       archive([](ZipBuilder& b, Entry&) { b.Comment(std::string(302, 'c')); }, none)},
      // Info-ZIP zip -fz: the central directory's offset is in the ZIP64 end record.
      {"ZIP format: ZIP64 archive (not supported)",
       archive(none, [](ZipBuilder& b, Bytes& a) { korva::test::Set32(a, b.EndOffset() + 16, 0xFFFFFFFF); })},
      {"ZIP format: no end of central directory record", archive(none, [](ZipBuilder&, Bytes& a) { a.resize(a.size() - 22); })},
      {"ZIP format: archive of 10 bytes, shorter than an end record", Bytes(10, 0)},
      {"ZIP format: no local header where central directory entry 1 points",
       archive(none, [](ZipBuilder& b, Bytes& a) { korva::test::Set32(a, b.CentralOffset() + 42, 5); })},
      {"Error decompressing Game.nes: CRC-32 ",  // the two CRCs follow
       archive([](ZipBuilder&, Entry& e) { e.method = 0; }, [](ZipBuilder& b, Bytes& a) { a[b.DataOffset(0) + 20] ^= 1; })},
      {"Error -5 during UnCompressMem process: the deflate data of Game.nes ends early",
       archive([&](ZipBuilder&, Entry& e) {
         e.useStoredOverride = true, e.storedOverride = Bytes(full.begin(), full.begin() + full.size() / 2);
       }, none)},
      {"Error -3 during UnCompressMem process: damaged deflate data in Game.nes (invalid block type)",
       archive([](ZipBuilder&, Entry& e) { e.useStoredOverride = true, e.storedOverride = Bytes(64, 0xFF); }, none)},
  };
  for (const auto& c : cases) {
    Exact exact(c.archive);
    std::string said;
    try {
      TZipRead zip(exact.bytes.get(), exact.size);
      zip.UnZip(0);
    } catch (const ESynZipException& e) {
      said = e.what();
      EXPECT_EQ(said, e.Refusal() + ": " + e.Reason());
    }
    EXPECT_TRUE(said.starts_with(c.expected)) << said << "\n expected " << c.expected;
  }
}

TEST(ZipReadFile, MissingOrEmptyFileIsMissingFileWithTheReason) {
  const auto said = [](const std::string& path) {
    try {
      TZipRead zip(path);
      return std::string();
    } catch (const ESynZipException& e) {
      return std::string(e.what());
    }
  };
  EXPECT_EQ(said("/tmp/korva-no-such-archive.zip"), "Missing File: No such file or directory");
  const korva::test::TempDir temp;
  EXPECT_EQ(said(temp.Write("empty.zip", Bytes{})), "Missing File: file is empty");
  EXPECT_EQ(said("/tmp"), "Missing File: is a directory");
}

TEST(ZipReadFile, FileWithoutSignaturesHasNoZipHeader) {
  const korva::test::TempDir temp;
  const std::string random = temp.Write("random.zip", korva::test::PatternBytes(4096, 77));
  EXPECT_EQ(FileOpenError(random), "No ZIP header found");
  const std::string tiny = temp.Write("tiny.zip", Bytes{'P', 'K', 3, 4});
  EXPECT_EQ(FileOpenError(tiny), "No ZIP header found");
}

TEST(ZipReadFile, ArchiveIsReadFromItsFirstLocalHeader) {
  const Bytes rom = korva::test::INesImage(2, 1);
  ZipBuilder b;
  b.Prefix(korva::test::PatternBytes(5000, 3)).Deflated("Game.nes", rom);
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.zip", b.Build());
  TZipRead zip(file);
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.UnZip(0), rom);
}

TEST(ZipReadFile, OpenFileWithStartOffsetAndSize) {
  const Bytes first = ZipBuilder().Stored("first.txt", std::string_view("first")).Build();
  const Bytes second = ZipBuilder().Stored("second.txt", std::string_view("second")).Build();
  Bytes both = first;
  both.insert(both.end(), second.begin(), second.end());
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.zip", both);
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  {
    TZipRead zip(fd, first.size(), 0);
    ASSERT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.Entry(0).name, "second.txt");
  }
  {
    TZipRead zip(fd, 0, first.size());
    ASSERT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.Entry(0).name, "first.txt");
  }
  ::close(fd);
  TZipRead none(-1, 0, 0);
  EXPECT_EQ(none.Count(), 0);
}

TEST(ZipReadFile, ArchiveThatShrinksAfterOpeningIsReadFromTheCopy) {
  // An archive above 4 MiB was once mapped: cutting the file short after the
  // opening ended the process with SIGBUS at the extraction.
  const Bytes rom = korva::test::PatternBytes(6u << 20, 5);
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.zip", ZipBuilder().Stored("Big.nes", rom).Build());
  EXPECT_EXIT(
      {
        TZipRead zip(file);
        if (::truncate(file.c_str(), 4096) != 0) std::_Exit(2);
        std::_Exit(zip.Count() == 1 && zip.UnZip(0) == rom ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ZipReadFile, ArchiveAbove64MiBIsRefusedUnread) {
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.zip", Bytes{});
  ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(korva::kMaxZipFileSize) + 1), 0);
  EXPECT_EQ(FileOpenError(file), "the archive is larger than 64 MiB");
}
