#include "builder/PlayPage.h"

#include "builder/Export.h"
#include "builder/MenuScreen.h"
#include "romlib/Assets.h"
#include "romlib/FileUtil.h"

#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace korva {

namespace {

std::string_view Part(const char* name) {
  const auto bytes = FindAsset(name);
  if (bytes.empty()) throw std::logic_error(std::string("The play-test page's part ") + name + " is not built in.");
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string Base64(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (n > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                (n > 2 ? bytes[i + 2] : 0);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// A JSON string that may stand inside an HTML <script> element: quotes,
// backslashes, control characters and "<", ">", "&" as \u escapes.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// A script's text made safe inside <script>...</script>: no "</" can close
// the element early ("<\/" means the same to JavaScript in the strings,
// regular expressions and comments where it can stand).
std::string ScriptText(std::string_view script) {
  std::string out;
  out.reserve(script.size());
  for (std::size_t i = 0; i < script.size(); ++i) {
    out += script[i];
    if (script[i] == '<' && i + 1 < script.size() && script[i + 1] == '/') out += '\\';
  }
  return out;
}

// Puts `text` where the page has `marker`; every marker but the version
// stands exactly once.
void Fill(std::string& page, std::string_view marker, std::string_view text, bool once = true) {
  std::size_t count = 0;
  for (std::size_t at = page.find(marker); at != std::string::npos; at = page.find(marker, at + text.size())) {
    page.replace(at, marker.size(), text);
    ++count;
  }
  if (count == 0 || (once && count != 1))
    throw std::logic_error("The play-test page's template has " + std::to_string(count) + " places for " +
                           std::string(marker) + ".");
}

std::string CartridgeData(const Project& project, const CartridgeImages& images) {
  std::string json = "{\"title\":" + JsonString(project.Cartridge.CartTitle) + ",\"slots\":[";
  bool first = true;
  for (int n = 1; n <= SlotCount; ++n) {
    const SlotPlacement& s = images.Slots[static_cast<std::size_t>(n - 1)];
    if (!s.Placed) continue;
    json += (first ? "" : ",") + std::string("{\"slot\":") + std::to_string(n) +
            ",\"title\":" + JsonString(project.slot(n).Title) + ",\"prg\":" + std::to_string(s.PrgBank) +
            ",\"chr\":" + std::to_string(s.ChrBank) + "}";
    first = false;
  }
  json += "],\"rgb\":[";
  for (std::size_t i = 0; i < kRgbPalette.size(); ++i) json += (i ? "," : "") + std::to_string(kRgbPalette[i]);
  json += "],\"prg\":\"" + Base64(images.Prg) + "\",\"chr\":\"" + Base64(images.Chr) + "\"}";
  return json;
}

}  // namespace

std::string PlayPage(const Project& project, const CartridgeImages& images) {
  std::string page(Part("PLAYPAGE"));
  // The data first: the parts after it are large and hold no marker.
  Fill(page, "@@KORVA_VERSION@@", VersionText(), false);
  Fill(page, "@@KORVA_CARTRIDGE@@", CartridgeData(project, images));
  Fill(page, "@@KORVA_PLAY@@", ScriptText(Part("PLAYSCRIPT")));
  Fill(page, "@@KORVA_BOARD@@", ScriptText(Part("PLAYBOARD")));
  // jsnes's last line names its source map, a file the page does not have.
  std::string_view jsnes = Part("PLAYJSNES");
  if (const std::size_t map = jsnes.rfind("//# sourceMappingURL="); map != std::string_view::npos)
    jsnes = jsnes.substr(0, map);
  Fill(page, "@@KORVA_JSNES@@", ScriptText(jsnes));
  return page;
}

std::string PlayPagePath(const std::string& projectFileName) { return WithoutExtension(projectFileName) + "-play.html"; }

}  // namespace korva
