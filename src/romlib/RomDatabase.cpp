#include "romlib/RomDatabase.h"

#include "romlib/FileUtil.h"
#include "romlib/NumberText.h"
#include "romlib/Utf8.h"
#include "romlib/XmlCheck.h"

#include <pugixml.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace korva {

namespace {

// Why a ROM database file cannot be used: thrown inside the loader, returned
// from it as an Unusable load.
struct DatabaseProblem {
  std::string what;
  bool damaged = true;  // the content, not the reading
};

// A ROM database file of a few hundred thousand entries stays far below this.
constexpr std::size_t kMaxRomDatabaseFileSize = 256u * 1024u * 1024u;

// "$" followed by the text, read as a 32-bit number: up to eight hexadecimal
// digits, 0 for anything else.
std::uint32_t HexOrZero(std::string_view text) { return text.size() > 8 ? 0 : ParseHex32(text).value_or(0); }

std::int32_t DecimalOrMinusOne(const pugi::xml_attribute& attr) {
  return attr ? ParseDecimal(attr.value()).value_or(-1) : -1;
}

// Tells which entries' files are there. For a long list the ROM directory
// is read once and the regular files in it are looked up by name; a name not
// found that way (in a subdirectory, differing only in case on a file system
// that ignores case, or added since) is asked of the file system itself, so
// the answers are those of FileExists.
class RomFileCheck {
 public:
  static constexpr std::size_t kListFrom = 256;  // entries; fewer are checked one by one

  RomFileCheck(const std::string& directory, std::size_t entries) {
    // Only a path that ends in a separator names the directory the entries'
    // files are in: without one, ROMPath and a name run together.
    if (entries < kListFrom || directory.empty() || directory.back() != kPathSeparator) return;
    try {
      for (std::string& name : ListFiles(directory)) names_.insert(std::move(name));
    } catch (const std::filesystem::filesystem_error&) {
      names_.clear();
    }
  }

  bool Exists(const std::string& name, const std::string& full) const {
    return names_.count(name) != 0 || FileExists(full);
  }

 private:
  std::unordered_set<std::string> names_;
};

// Where the children of the ROMDB element lie in a file's text: the content
// of the root element's first ROMDB child, cut after its child elements into
// slices of about kSliceSize bytes. A large file is then parsed a slice at a
// time, never as one document, whose nodes take about three times the file.
// The scan only finds the cuts; pugixml checks every slice and the rest of
// the file in full. Nothing when the text is not UTF-8 XML the scan follows
// (a DOCTYPE, another encoding, a NUL byte, a tag left open): the file is
// then parsed as one document.
struct RomDbSlices {
  std::vector<std::size_t> cuts;  // from the content's first byte to its end
  std::size_t elements = 0;       // child elements of ROMDB
};

constexpr std::size_t kSliceSize = 4u << 20;

std::optional<RomDbSlices> FindRomDbSlices(std::string_view text) {
  constexpr auto npos = std::string_view::npos;
  std::size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  // pugixml ends a text at a NUL byte: a slice holding one would lose the
  // entries after it without an error, where the whole document is refused.
  if (text.size() < pos + 4 || text[pos] != '<' || text.find('\0') != npos) return std::nullopt;
  if (text.substr(pos).starts_with("<?xml")) {
    const std::string_view declaration = text.substr(pos, text.find("?>", pos) - pos);
    const auto encoding = declaration.find("encoding");
    if (encoding != npos) {
      const auto quote = declaration.find_first_of("\"'", encoding);
      if (quote == npos) return std::nullopt;
      std::string value(declaration.substr(quote + 1, 6));
      for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (value != "utf-8\"" && value != "utf-8'") return std::nullopt;
    }
  }
  RomDbSlices slices;
  int depth = 0;
  bool inRomDb = false;
  const auto maybeCut = [&](std::size_t after) {
    if (inRomDb && depth == 2 && after - slices.cuts.back() >= kSliceSize) slices.cuts.push_back(after);
  };
  while ((pos = text.find('<', pos)) != npos) {
    const std::string_view rest = text.substr(pos);
    const auto skip = [&](std::string_view open, std::string_view close) {
      const auto end = text.find(close, pos + open.size());
      pos = end == npos ? npos : end + close.size();
    };
    if (rest.starts_with("<!--")) {
      skip("<!--", "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      skip("<![CDATA[", "]]>");
    } else if (rest.starts_with("<?")) {
      skip("<?", "?>");
    } else if (rest.starts_with("<!")) {
      return std::nullopt;
    } else {
      // A start or end tag, to its '>' outside quoted values.
      std::size_t end = pos + 1;
      while (end < text.size() && text[end] != '>') {
        if (text[end] == '"' || text[end] == '\'') {
          end = text.find(text[end], end + 1);
          if (end == npos) return std::nullopt;
        }
        ++end;
      }
      if (end >= text.size()) return std::nullopt;
      const std::size_t after = end + 1;
      if (text[pos + 1] == '/') {
        if (--depth < 1) return std::nullopt;
        if (inRomDb && depth == 1) {
          if (pos != slices.cuts.back()) slices.cuts.push_back(pos);
          return slices;
        }
        maybeCut(after);
      } else {
        const bool empty = text[end - 1] == '/';
        if (depth == 1 && !inRomDb && rest.substr(1, 5) == "ROMDB" &&
            std::string_view(" \t\r\n/>").find(rest[6]) != npos) {
          if (empty) return std::nullopt;
          inRomDb = true;
          slices.cuts.push_back(after);
        } else if (inRomDb && depth == 2) {
          ++slices.elements;
        }
        if (empty)
          maybeCut(after);
        else
          ++depth;
      }
      pos = after;
    }
  }
  return std::nullopt;
}

// Makes entries of the ROM elements of one file, in document order.
class EntryReader {
 public:
  EntryReader(const std::string& path, const HeaderDatabase& headerDb, std::string romPath, std::size_t entries)
      : path_(path), headerDb_(headerDb), files_(romPath, entries) {
    fresh.ROMPath = std::move(romPath);
    fresh.ROMList.reserve(entries);
    fresh.ROMNames.reserve(entries);
  }

  void Take(const pugi::xml_node e) {
    if (e.type() != pugi::node_element) return;
    const std::uint32_t crc = HexOrZero(e.attribute("CRC32").value());
    const pugi::xml_node filenameNode = e.child("Filename");
    if (!filenameNode)
      throw DatabaseProblem{path_ + ": entry " + std::to_string(fresh.ROMList.size() + 1) +
                             " has no Filename element"};
    const std::string name = filenameNode.text().get();
    const std::string full = fresh.ROMPath + name;
    if (!files_.Exists(name, full)) {
      outOfSync = true;
      return;
    }

    TROMInfo entry;
    entry.Mapper = 0;  // an entry starts with every field zero or empty
    entry.ListIndex = 0;
    const TROMInfo known = headerDb_.Find(crc);
    if (!known.Empty()) {
      entry = known;  // the header database wins over a stored INES element
    } else if (const pugi::xml_node ines = e.child("INES")) {
      entry.CRC32 = crc;
      entry.Timing = "NesNtsc";
      entry.Mapper = DecimalOrMinusOne(ines.attribute("Mapper"));
      entry.PrgRomSize = DecimalOrMinusOne(ines.attribute("PrgRomSize"));
      entry.ChrRomSize = DecimalOrMinusOne(ines.attribute("ChrRomSize"));
      entry.Mirroring = ines.attribute("Mirroring").value();
    } else {
      // The header database no longer knows a ROM it knew at scan time.
      // Extensions are compared without regard to case; another extension
      // keeps the zero fields, a file that cannot be read gives the empty
      // record, and the out-of-sync message asks for the re-scan that will
      // report it.
      if (HasExtension(name, ".zip") || HasExtension(name, ".nes")) entry = ReadRomFile(full, headerDb_);
      outOfSync = true;
    }
    entry.Filename = name;
    entry.ListIndex = static_cast<std::int32_t>(fresh.ROMList.size());
    fresh.ROMList.push_back(std::move(entry));
    fresh.ROMNames.push_back(WithoutExtension(name));
  }

  RomLibrary fresh;  // built aside and put in place whole, so an error leaves the old lists
  bool outOfSync = false;

 private:
  const std::string& path_;
  const HeaderDatabase& headerDb_;
  RomFileCheck files_;
};

// The entries of a file read a slice at a time, or nothing when it is to be
// parsed as one document: no slices, or a part that pugixml refuses (the
// whole document then gives the error and where it is) or that is not a
// KORVA root with ROMPath (the whole document then gives the message).
std::optional<EntryReader> ReadSliced(std::string_view text, const std::string& path, const HeaderDatabase& headerDb) {
  const std::optional<RomDbSlices> slices = FindRomDbSlices(text);
  if (!slices) return std::nullopt;
  const std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  std::string outline(text.substr(start, slices->cuts.front() - start));
  outline += text.substr(slices->cuts.back());
  pugi::xml_document doc;
  if (!doc.load_buffer(outline.data(), outline.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_utf8) ||
      !XmlStructureProblem(doc).empty())
    return std::nullopt;
  const pugi::xml_node root = doc.document_element();
  const pugi::xml_node romPath = root.child("ROMPath");
  if (std::string_view(root.name()) != "KORVA" || !romPath || !root.child("ROMDB")) return std::nullopt;

  std::optional<EntryReader> reader(std::in_place, path, headerDb, romPath.text().get(), slices->elements);
  // An entry without Filename is reported once every slice is known to be
  // well-formed, as the whole document would report it.
  std::optional<DatabaseProblem> entryError;
  for (std::size_t i = 0; i + 1 < slices->cuts.size(); ++i) {
    pugi::xml_document part;
    if (!part.load_buffer(text.data() + slices->cuts[i], slices->cuts[i + 1] - slices->cuts[i],
                          pugi::parse_default | pugi::parse_fragment, pugi::encoding_utf8))
      return std::nullopt;
    if (entryError) continue;
    try {
      for (const pugi::xml_node e : part.children()) reader->Take(e);
    } catch (const DatabaseProblem& e) {
      entryError = e;
    }
  }
  if (entryError) throw *entryError;
  return reader;
}

}  // namespace

std::string RomDatabaseDirectory(RomDatabasePlacement placement) {
  if (placement == RomDatabasePlacement::BesideProgram) {
    const std::string programDir = ProgramDirectory();
    if (!programDir.empty() && ::access(programDir.c_str(), W_OK) == 0) return programDir;
  }
  return UserDataDirectory();
}

std::string DefaultRomDatabasePath() { return RomDatabaseDirectory() + kRomDatabaseName; }

bool NameCanBeStored(std::string_view name) {
  for (std::size_t i = 0; i < name.size();) {
    const char32_t code = NextCodePoint(name, i);
    if (code == kNotUtf8 || (code < 0x20 && code != 0x09 && code != 0x0A && code != 0x0D) || code == 0xFFFE ||
        code == 0xFFFF)
      return false;
  }
  return true;
}

namespace {

// Everything after the read, for the file's bytes (parsed in place).
RomDatabaseLoad LoadBytes(std::vector<std::uint8_t>& bytes, const std::string& path, const HeaderDatabase& headerDb) {
  std::optional<EntryReader> reader =
      ReadSliced(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path, headerDb);
  if (!reader) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_doctype,
                                pugi::encoding_auto);
    if (!parsed)
      throw DatabaseProblem{path + " is not well-formed XML: " + parsed.description() + " at byte " +
                            std::to_string(parsed.offset)};
    if (const std::string problem = XmlStructureProblem(doc); !problem.empty())
      throw DatabaseProblem{path + ": " + problem};

    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "KORVA")
      throw DatabaseProblem{path + ": the root element is \"" + root.name() + "\", not \"KORVA\""};
    const pugi::xml_node romPathNode = root.child("ROMPath");
    if (!romPathNode) throw DatabaseProblem{path + ": the ROMPath element is missing"};
    const pugi::xml_node romDb = root.child("ROMDB");
    if (!romDb) throw DatabaseProblem{path + ": the ROMDB element is missing"};

    const auto entries = static_cast<std::size_t>(std::distance(romDb.children().begin(), romDb.children().end()));
    reader.emplace(path, headerDb, romPathNode.text().get(), entries);
    for (const pugi::xml_node e : romDb.children()) reader->Take(e);
  }
  RomDatabaseLoad load;
  load.Status = RomDatabaseStatus::Loaded;
  load.OutOfSync = reader->outOfSync;
  load.Library = std::move(reader->fresh);
  return load;
}

RomDatabaseLoad Unusable(const DatabaseProblem& problem) {
  RomDatabaseLoad load;
  load.Status = RomDatabaseStatus::Unusable;
  load.Damaged = problem.damaged;
  load.Problem = problem.what;
  return load;
}

}  // namespace

RomDatabaseLoad LoadRomDatabase(const std::string& path, const HeaderDatabase& headerDb) {
  // Missing only when there is nothing at the path; anything else that keeps
  // the file from being read is reported with the system's reason.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return RomDatabaseLoad{};
  try {
    std::vector<std::uint8_t> bytes;
    try {
      bytes = ReadWholeFile(path, kMaxRomDatabaseFileSize);
    } catch (const FileError& e) {
      throw DatabaseProblem{e.what(), false};
    }
    return LoadBytes(bytes, path, headerDb);
  } catch (const DatabaseProblem& problem) {
    return Unusable(problem);
  }
}

namespace {

// Collects what pugixml writes, with every carriage return as "&#13;":
// pugixml writes one in text as it is, and a parser reads that back as a line
// feed. pugixml ends its own lines with a line feed alone, so every carriage
// return is one of a name's.
struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override {
    std::string_view rest(static_cast<const char*>(data), size);
    for (auto cr = rest.find('\r'); cr != std::string_view::npos; cr = rest.find('\r')) {
      out.append(rest.substr(0, cr)).append("&#13;");
      rest.remove_prefix(cr + 1);
    }
    out.append(rest);
  }
};

}  // namespace

struct RomDatabaseWriter::Document {
  pugi::xml_document doc;
  pugi::xml_node romDb;
};

RomDatabaseWriter::RomDatabaseWriter(const std::string& romPath) : doc_(std::make_unique<Document>()) {
  auto decl = doc_->doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "utf-8";
  auto root = doc_->doc.append_child("KORVA");
  root.append_attribute("Build") = std::to_string(KORVA_BUILD_NUMBER).c_str();
  root.append_child("ROMPath").text() = romPath.c_str();
  doc_->romDb = root.append_child("ROMDB");
}

RomDatabaseWriter::~RomDatabaseWriter() = default;

void RomDatabaseWriter::Add(const TROMInfo& rom) {
  auto e = doc_->romDb.append_child("ROM");
  e.append_attribute("CRC32") = CrcText(rom.CRC32).c_str();
  e.append_child("Filename").text() = rom.Filename.c_str();
  if (rom.Source == kSourceINesHeader) {
    auto ines = e.append_child("INES");
    ines.append_attribute("Mapper") = rom.Mapper;
    ines.append_attribute("ChrRomSize") = rom.ChrRomSize;
    ines.append_attribute("PrgRomSize") = rom.PrgRomSize;
    ines.append_attribute("Mirroring") = rom.Mirroring.c_str();
  }
}

std::string RomDatabaseWriter::Text() const {
  StringWriter text;
  doc_->doc.save(text, "  ", pugi::format_default, pugi::encoding_utf8);
  return std::move(text.out);
}

void WriteRomDatabase(const std::string& path, std::string_view text) {
  const std::filesystem::path target(path);
  if (target.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
  }
  WriteFileAtomic(path, text);
}

int CountRomDatabaseEntries(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path, kMaxRomDatabaseFileSize);
  } catch (const FileError&) {
    return -1;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (const std::optional<RomDbSlices> slices = FindRomDbSlices(text)) {
    // The outline around the entries still has to be a ROM database file.
    const std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::string outline(text.substr(start, slices->cuts.front() - start));
    outline += text.substr(slices->cuts.back());
    pugi::xml_document doc;
    if (doc.load_buffer(outline.data(), outline.size(), pugi::parse_default, pugi::encoding_utf8) &&
        std::string_view(doc.document_element().name()) == "KORVA")
      return static_cast<int>(slices->elements);
  }
  pugi::xml_document doc;
  if (!doc.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto)) return -1;
  const pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != "KORVA" || !root.child("ROMDB")) return -1;
  int count = 0;
  for (const pugi::xml_node e : root.child("ROMDB").children())
    if (e.type() == pugi::node_element) ++count;
  return count;
}

RomDatabaseLoad LoadRomDatabaseText(std::string_view text, const std::string& path, const HeaderDatabase& headerDb) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  try {
    return LoadBytes(bytes, path, headerDb);
  } catch (const DatabaseProblem& problem) {
    return Unusable(problem);
  }
}

}  // namespace korva
