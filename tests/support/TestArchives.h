#pragma once
// Test helpers that build ZIP archives byte by byte, so that tests never
// depend on files from elsewhere.
//
//   korva::test::ZipBuilder zip;
//   zip.Folder("roms/").Stored("roms/Game.nes", korva::test::INesImage(2, 1));
//   std::vector<std::uint8_t> bytes = zip.Build();
//
// Every entry is written as a local header, its data (and a data descriptor
// when asked), then a central directory and an end record. The knobs let a
// test write archives that are wrong in one precise way.
#include "NesImages.h"

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva::test {

inline void Put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (std::uint32_t(b.at(at + 3)) << 24);
}
inline void Set32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Set16(Bytes& b, std::size_t at, std::uint32_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}

inline std::uint32_t ZlibCrc(const Bytes& data) {
  return static_cast<std::uint32_t>(
      ::crc32(0, data.empty() ? nullptr : data.data(), static_cast<uInt>(data.size())));
}

// Raw deflate (no zlib or gzip wrapper), as a ZIP archive holds it.
inline Bytes RawDeflate(const Bytes& data, int level = Z_DEFAULT_COMPRESSION, int strategy = Z_DEFAULT_STRATEGY) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

// One entry of a ZipBuilder archive, with every field a test may want to get wrong.
struct ZipEntrySpec {
  std::string name;
  Bytes data;                  // uncompressed content
  std::uint16_t method = 0;    // 0 stored, 8 deflated, anything else written as is
  std::uint16_t flags = 0;     // extra flag bits (bit 3 is set by dataDescriptor)
  bool dataDescriptor = false; // sizes and CRC after the data, zeros in the local header
  bool descriptorSignature = true;
  bool localSizesToo = false;  // with dataDescriptor: keep the sizes in the local header too
  bool centralSizesZip64 = false; // 0xFFFFFFFF sizes in the central header
  bool localSizesZip64 = false;   // 0xFFFFFFFF sizes in the local header
  std::string localExtra;      // local extra field bytes
  std::string centralExtra;    // central extra field bytes
  std::string comment;         // file comment in the central header
  bool corruptCrc = false;     // record a wrong CRC-32
  Bytes storedOverride;        // when not empty: the stored bytes as they are (no compression)
  bool useStoredOverride = false;
};

class ZipBuilder {
 public:
  // A stored entry (method 0).
  ZipBuilder& Stored(std::string name, Bytes data) {
    ZipEntrySpec e;
    e.name = std::move(name);
    e.data = std::move(data);
    return Add(std::move(e));
  }
  ZipBuilder& Stored(std::string name, std::string_view text) { return Stored(std::move(name), ToBytes(text)); }
  // A deflated entry (method 8).
  ZipBuilder& Deflated(std::string name, Bytes data) {
    ZipEntrySpec e;
    e.name = std::move(name);
    e.data = std::move(data);
    e.method = 8;
    return Add(std::move(e));
  }
  // A folder entry: a name ending in "/" and no data.
  ZipBuilder& Folder(std::string name) {
    ZipEntrySpec e;
    e.name = std::move(name);
    return Add(std::move(e));
  }
  ZipBuilder& Add(ZipEntrySpec e) {
    entries_.push_back(std::move(e));
    return *this;
  }
  // The last entry added, to adjust one of its fields.
  ZipEntrySpec& Last() { return entries_.back(); }

  ZipBuilder& Comment(std::string comment) {
    comment_ = std::move(comment);
    return *this;
  }
  // Bytes before the first local header (a self-extractor stub, say).
  ZipBuilder& Prefix(Bytes junk) {
    prefix_ = std::move(junk);
    return *this;
  }
  // Offsets in the archive count from the first local header (as the reader
  // expects) unless this is set: then they count from the start of the file.
  ZipBuilder& OffsetsFromFileStart(bool on = true) {
    offsetsFromFileStart_ = on;
    return *this;
  }

  // Where entry i's local header starts in the last Build() result.
  std::size_t LocalOffset(std::size_t i) const { return localOffsets_.at(i); }
  // Where entry i's stored data starts in the last Build() result.
  std::size_t DataOffset(std::size_t i) const { return dataOffsets_.at(i); }
  // Where the central directory and the end record start in the last Build() result.
  std::size_t CentralOffset() const { return centralOffset_; }
  std::size_t EndOffset() const { return endOffset_; }

  Bytes Build() {
    Bytes out = prefix_;
    const std::size_t base = offsetsFromFileStart_ ? 0 : prefix_.size();
    struct Written {
      std::uint32_t crc, csize, usize, offset;
      std::uint16_t flags;
    };
    std::vector<Written> written;
    localOffsets_.clear();
    dataOffsets_.clear();
    for (const auto& e : entries_) {
      Bytes stored = e.useStoredOverride ? e.storedOverride : (e.method == 8 ? RawDeflate(e.data) : e.data);
      std::uint32_t crc = ZlibCrc(e.data);
      if (e.corruptCrc) crc ^= 0x5A5A5A5A;
      const std::uint16_t flags = static_cast<std::uint16_t>(e.flags | (e.dataDescriptor ? 8 : 0));
      const auto csize = static_cast<std::uint32_t>(stored.size());
      const auto usize = static_cast<std::uint32_t>(e.data.size());
      written.push_back({crc, csize, usize, static_cast<std::uint32_t>(out.size() - base), flags});
      localOffsets_.push_back(out.size());

      const bool zeros = e.dataDescriptor && !e.localSizesToo;
      Put32(out, 0x04034B50);
      Put16(out, 20);
      Put16(out, flags);
      Put16(out, e.method);
      Put32(out, 0x00210000);  // 1980-01-01 00:00
      Put32(out, zeros ? 0 : crc);
      Put32(out, zeros ? 0 : (e.localSizesZip64 ? 0xFFFFFFFF : csize));
      Put32(out, zeros ? 0 : (e.localSizesZip64 ? 0xFFFFFFFF : usize));
      Put16(out, static_cast<std::uint32_t>(e.name.size()));
      Put16(out, static_cast<std::uint32_t>(e.localExtra.size()));
      PutBytes(out, e.name);
      PutBytes(out, e.localExtra);
      dataOffsets_.push_back(out.size());
      PutBytes(out, stored);
      if (e.dataDescriptor) {
        if (e.descriptorSignature) Put32(out, 0x08074B50);
        Put32(out, crc);
        Put32(out, csize);
        Put32(out, usize);
      }
    }
    centralOffset_ = out.size();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const auto& e = entries_[i];
      const auto& w = written[i];
      Put32(out, 0x02014B50);
      Put16(out, 20);
      Put16(out, 20);
      Put16(out, w.flags);
      Put16(out, e.method);
      Put32(out, 0x00210000);
      Put32(out, w.crc);
      Put32(out, e.centralSizesZip64 ? 0xFFFFFFFF : w.csize);
      Put32(out, e.centralSizesZip64 ? 0xFFFFFFFF : w.usize);
      Put16(out, static_cast<std::uint32_t>(e.name.size()));
      Put16(out, static_cast<std::uint32_t>(e.centralExtra.size()));
      Put16(out, static_cast<std::uint32_t>(e.comment.size()));
      Put16(out, 0);  // disk number
      Put16(out, 0);  // internal attributes
      Put32(out, 0);  // external attributes
      Put32(out, w.offset);
      PutBytes(out, e.name);
      PutBytes(out, e.centralExtra);
      PutBytes(out, e.comment);
    }
    endOffset_ = out.size();
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint32_t>(entries_.size()));
    Put16(out, static_cast<std::uint32_t>(entries_.size()));
    Put32(out, static_cast<std::uint32_t>(endOffset_ - centralOffset_));
    Put32(out, static_cast<std::uint32_t>(centralOffset_ - base));
    Put16(out, static_cast<std::uint32_t>(comment_.size()));
    PutBytes(out, comment_);
    return out;
  }

 private:
  std::vector<ZipEntrySpec> entries_;
  std::string comment_;
  Bytes prefix_;
  bool offsetsFromFileStart_ = false;
  std::vector<std::size_t> localOffsets_, dataOffsets_;
  std::size_t centralOffset_ = 0, endOffset_ = 0;
};

}  // namespace korva::test
