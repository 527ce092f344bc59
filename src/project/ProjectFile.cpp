#include "project/ProjectFile.h"

#include "project/ProjectCommands.h"
#include "romlib/NumberText.h"
#include "romlib/FileUtil.h"
#include "romlib/XmlCheck.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string_view>

namespace korva {

namespace {

// A project file is a few kilobytes; anything this large is not one.
constexpr std::size_t kMaxProjectFileSize = 16u * 1024u * 1024u;

int DecimalOr(std::string_view text, int fallback) { return ParseDecimal(text).value_or(fallback); }

// A whole text as a 32-bit hexadecimal number, digits of either case, or 0.
std::uint32_t HexOrZero(std::string_view text) { return ParseHex32(text).value_or(0); }

pugi::xml_node RequireChild(pugi::xml_node parent, const char* name) {
  const pugi::xml_node node = parent.child(name);
  if (!node) throw ProjectFileError(std::string("Node \"") + name + "\" not found");
  return node;
}

// The text of an element that holds a single piece of text or CDATA, or
// nothing at all (empty text).
std::string ElementText(pugi::xml_node element) {
  const pugi::xml_node first = element.first_child();
  if (!first) return {};
  if (first.next_sibling() || (first.type() != pugi::node_pcdata && first.type() != pugi::node_cdata))
    throw ProjectFileError("Element does not contain a single text node");
  return first.value();
}

std::string Format(const char* format, long long value) {
  char text[96];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string ProjectFileText(const Workspace& ws) {
  const Project& project = ws.Proj;

  pugi::xml_document doc;
  auto decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "utf-8";

  auto root = doc.append_child("KORVA-Project");
  root.append_attribute("Ver") = std::to_string(BuildNumber).c_str();
  root.append_child("CartTitle").text() = project.Cartridge.CartTitle.c_str();
  root.append_child("Icons").text() = std::to_string(project.Cartridge.Icons).c_str();
  root.append_child("InstLine1").text() = project.Cartridge.InstLine1.c_str();
  root.append_child("InstLine2").text() = project.Cartridge.InstLine2.c_str();
  auto slots = root.append_child("ROMSlots");
  for (int n = 1; n <= SlotCount; ++n) {
    const Slot& slot = project.slot(n);
    const std::uint32_t crc = SlotCRC(slot, ws.Library);
    auto rom = slots.append_child("ROM");
    rom.append_attribute("Slot") = std::to_string(n).c_str();
    rom.append_attribute("CRC32") = CrcText(crc).c_str();
    rom.append_attribute("Icon") = std::to_string(slot.Icon).c_str();
    if (!slot.Title.empty()) rom.text() = slot.Title.c_str();
  }

  // The title set keeps the control characters 0x03, 0x08 and 0x16, which
  // XML 1.0 cannot carry even as references: they are left out of the file,
  // so that every XML parser reads it. (Files that hold them as "&#03;" still
  // load: the reader takes the references.)
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration | pugi::format_skip_control_chars,
           pugi::encoding_utf8);
  // pugixml writes the declaration node itself (format_no_declaration only
  // stops it from adding a second one); lines end in LF, the file in CR LF.
  const std::string lf = out.str();
  std::string text;
  text.reserve(lf.size() + lf.size() / 16);
  for (char ch : lf) {
    if (ch == '\n') text += '\r';
    text += ch;
  }
  return text;
}

void WriteProjectFile(Workspace& ws, const std::string& path, UserInterface& ui) {
  ws.Proj.ProjectModified = true;
  WriteFileAtomic(path, std::string_view(ProjectFileText(ws)));
  ui.ShowStatusMessage("Project saved!", 2);
}

namespace {

// The project a document's bytes hold, its slots resolved against `library`.
Project ReadProjectDocument(const void* bytes, std::size_t size, const std::string& path, const RomLibrary& library) {
  pugi::xml_document doc;
  // First as written (a document type kept, references left alone), to
  // refuse what the reader would read otherwise; then as read.
  pugi::xml_parse_result parsed = doc.load_buffer(bytes, size, kXmlCheckParse, pugi::encoding_auto);
  if (parsed) {
    if (const std::string problem = XmlReadingProblem(doc); !problem.empty()) throw ProjectFileError(problem);
    parsed = doc.load_buffer(bytes, size, pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto);
  }
  if (!parsed)
    throw ProjectFileError(std::string(parsed.description()) + " (at byte " +
                           std::to_string(parsed.offset) + ")");

  Project project;
  const pugi::xml_node root = doc.document_element();
  CartridgeSettings& cart = project.Cartridge;
  cart.CartTitle = StorableTitle(ElementText(RequireChild(root, "CartTitle")), kTitleMaxLength);
  const std::string icons = ElementText(RequireChild(root, "Icons"));
  cart.InstLine1 = StorableTitle(ElementText(RequireChild(root, "InstLine1")), kInstLineMaxLength);
  cart.InstLine2 = StorableTitle(ElementText(RequireChild(root, "InstLine2")), kInstLineMaxLength);

  const pugi::xml_node slots = RequireChild(root, "ROMSlots");
  for (pugi::xml_node rom = slots.first_child(); rom; rom = rom.next_sibling()) {
    if (rom.type() != pugi::node_element) continue;
    const std::string title = StorableTitle(ElementText(rom), kTitleMaxLength);
    const int icon = DecimalOr(rom.attribute("Icon").value(), -1);
    if (icon < 0 || icon > 3) throw ProjectFileError(Format("Icon Index %lld is not within valid range!", icon));
    const int slotNumber = DecimalOr(rom.attribute("Slot").value(), 0);
    if (slotNumber < 1 || slotNumber > SlotCount)
      throw ProjectFileError(Format("Slot %lld is not within valid range!", slotNumber));
    // CRC 0 is what the writer gives an empty slot: it names no ROM, even
    // when ROMList holds one whose CRC-32 is 0 (an entry of korva_db.xml
    // whose CRC32 could not be read has that too). A CRC that ROMList does
    // not hold stays the slot's, as a missing ROM.
    Slot& slot = project.slot(slotNumber);
    slot = Slot{.Title = title, .Icon = icon, .MissingCRC = HexOrZero(rom.attribute("CRC32").value())};
    ResolveSlot(slot, library);
  }

  const int mode = DecimalOr(icons, 2);
  cart.Icons = mode < 0 || mode > 2 ? 2 : mode;
  project.ProjectFileName = path;
  return project;
}

}  // namespace

Project ReadProjectFile(const std::string& path, const RomLibrary& library) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path, kMaxProjectFileSize);
  return ReadProjectDocument(bytes.data(), bytes.size(), path, library);
}

Project ReadProjectText(std::string_view text, const std::string& path, const RomLibrary& library) {
  return ReadProjectDocument(text.data(), text.size(), path, library);
}

}  // namespace korva
