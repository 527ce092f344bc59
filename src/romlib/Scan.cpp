#include "romlib/Scan.h"

#include "romlib/FileUtil.h"
#include "romlib/RomDatabase.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <unordered_set>

namespace korva {

namespace {

namespace fs = std::filesystem;

bool LessNoCase(const std::string& a, const std::string& b) {
  const auto n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // names that differ only in case: a fixed order all the same
}

std::string BaseName(const std::string& path) {
  const auto sep = path.find_last_of(kPathSeparator);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

// Tells the observer that the scan is over; nothing it throws escapes.
void Finish(ScanObserver& observer) {
  try {
    observer.ScanFinished();
  } catch (...) {
  }
}

}  // namespace

std::string ScanningLabel(const std::string& directory) { return "Scanning: " + directory; }

std::string FinishedLabel(int count) {
  return "Finished scanning, " + std::to_string(count) + " compatible roms found";
}

std::vector<std::string> ListRomCandidates(const std::string& directory) {
  // Archives first, then images, as two wildcard searches would give them;
  // the sort then puts them in one order by name.
  std::vector<std::string> zips, images;
  for (const auto& item : fs::directory_iterator(directory)) {
    std::error_code ec;
    if (!item.is_regular_file(ec)) continue;
    const std::string name = item.path().filename().string();
    if (HasExtension(name, ".zip"))
      zips.push_back(directory + name);
    else if (HasExtension(name, ".nes"))
      images.push_back(directory + name);
  }
  std::vector<std::string> files = std::move(zips);
  files.insert(files.end(), images.begin(), images.end());
  std::stable_sort(files.begin(), files.end(),
                   [](const std::string& a, const std::string& b) { return LessNoCase(BaseName(a), BaseName(b)); });
  return files;
}

ScanResult ScanRomDirectory(std::string directory, const HeaderDatabase& headerDb, const std::string& databasePath,
                            UserInterface& ui, ScanObserver& observer) {
  ScanResult result;

  if (directory.empty() || directory.back() != kPathSeparator) directory += kPathSeparator;
  if (!DirectoryExists(directory)) {
    ui.ShowCenteredMessage("Invalid path: " + directory, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
    Finish(observer);
    return result;
  }

  observer.ScanStarted(ScanningLabel(directory));
  try {
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "utf-8";
    auto root = doc.append_child("KORVA");
    root.append_attribute("Build") = std::to_string(KORVA_BUILD_NUMBER).c_str();
    root.append_child("ROMPath").text() = directory.c_str();
    auto romDb = root.append_child("ROMDB");

    const std::vector<std::string> files = ListRomCandidates(directory);
    result.Files = static_cast<int>(files.size());
    observer.SetProgressMax(result.Files);

    std::unordered_set<std::uint32_t> seen;
    for (std::size_t i = 0; i < files.size(); ++i) {
      observer.SetProgress(static_cast<int>(i + 1));
      const std::string& file = files[i];
      const TROMInfo rom = HasExtension(file, ".zip") ? ReadZipFile(file, headerDb) : ReadNesFile(file, headerDb);
      if (seen.count(rom.CRC32) != 0) continue;  // the first file with a CRC wins
      if (!IsCompatible(rom)) continue;
      auto e = romDb.append_child("ROM");
      e.append_attribute("CRC32") = CrcText(rom.CRC32).c_str();
      e.append_child("Filename").text() = BaseName(file).c_str();
      if (rom.Source == kSourceINesHeader) {
        auto ines = e.append_child("INES");
        ines.append_attribute("Mapper") = rom.Mapper;
        ines.append_attribute("ChrRomSize") = rom.ChrRomSize;
        ines.append_attribute("PrgRomSize") = rom.PrgRomSize;
        ines.append_attribute("Mirroring") = rom.Mirroring.c_str();
      }
      seen.insert(rom.CRC32);
      ++result.Count;
    }
    observer.SetProgress(result.Files);

    std::ostringstream xml;
    doc.save(xml, "  ", pugi::format_default, pugi::encoding_utf8);
    const fs::path target(databasePath);
    if (target.has_parent_path()) {
      std::error_code ec;
      fs::create_directories(target.parent_path(), ec);
    }
    WriteFileAtomic(databasePath, xml.str());
    result.Written = true;

    observer.SetLabel(FinishedLabel(result.Count));
    observer.ReloadDatabase();
  } catch (const std::exception& e) {
    result.Error = e.what();
  } catch (...) {
    result.Error = "unknown error";
  }
  // The window is enabled again before the error is shown over it.
  Finish(observer);
  if (!result.Error.empty()) {
    std::string text = "Scanning " + directory + " stopped: " + result.Error;
    if (!result.Written) text += "\r\n\r\nThe ROM database file was not changed.";
    ui.ShowCenteredMessage(text, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
  }
  return result;
}

}  // namespace korva
