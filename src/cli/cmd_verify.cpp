// korva verify PROJECT.korva [--db PATH] [--prg F] [--chr F] [--inst F]
// [--menu-template FILE] [--inst-template FILE]: checks three images against
// the project and its ROMs, by default the ones the export wrote beside the
// project, or files read back from burnt chips. One line per slot and per
// image on stdout; exit status 0 only when all three match.
#include "builder/Verify.h"
#include "cli/Command.h"
#include "cli/DbOption.h"
#include "cli/JsonWriter.h"
#include "cli/ProjectLoad.h"

#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kArgs =
    "PROJECT.korva [--db PATH] [--prg F] [--chr F] [--inst F] [--menu-template FILE] [--inst-template FILE] "
    "[--json]";

// A 16-bit byte sum as the programmer shows it: four hexadecimal digits.
std::string SumText(std::uint16_t sum) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", sum);
  return text;
}

// The areas of one line, as JSON.
void WriteAreas(JsonWriter& json, const VerifiedLine& line) {
  json.Member("matches", line.Matches()).Key("areas").BeginArray();
  for (const VerifiedArea& area : line.Areas) {
    json.BeginObject().Member("name", area.Name).Member("image", area.Image).Member("matches", area.Matches);
    if (area.Matches) json.Key("firstDifference").Null();
    else json.Member("firstDifference", static_cast<std::int64_t>(area.FirstDifference));
    json.EndObject();
  }
  json.EndArray();
}

// The report as one JSON document (docs/json.md): the sixteen slot lines,
// then the three image lines with the figures read; or the refusal.
void WriteReportJson(const Workspace& ws, const VerifyReport& report, const std::array<std::string, 3>& paths) {
  JsonWriter json(std::cout);
  json.BeginObject().Member("format", kJsonFormat).Member("project", ws.Proj.ProjectFileName);
  json.Member("matches", report.Matches());
  if (!report.Refusal.empty()) {
    json.Member("refusal", report.Refusal).EndObject().Finish();
    return;
  }
  json.Key("refusal").Null().Key("slots").BeginArray();
  for (int n = 1; n <= SlotCount && static_cast<std::size_t>(n) <= report.Lines.size(); ++n) {
    json.BeginObject().Member("slot", n).Member("title", ws.Proj.slot(n).Title);
    WriteAreas(json, report.Lines[static_cast<std::size_t>(n - 1)]);
    json.EndObject();
  }
  json.EndArray().Key("images").BeginArray();
  static constexpr const char* kImages[] = {"PRG image", "CHR image", "instruction ROM"};
  for (std::size_t i = 0; i < 3 && SlotCount + i < report.Lines.size(); ++i) {
    const VerifiedLine& line = report.Lines[SlotCount + i];
    json.BeginObject()
        .Member("image", kImages[i])
        .Member("file", paths[i])
        .Member("crc32", CrcText(line.Read.Crc32))
        .Member("sum", SumText(line.Read.Sum));
    WriteAreas(json, line);
    json.EndObject();
  }
  json.EndArray().EndObject().Finish();
}

int RunVerify(const std::vector<std::string>& rawArgs) {
  const std::string usage = std::string("usage: korva verify ") + kArgs + "\n";
  std::vector<std::string> args = rawArgs;
  const bool json = TakeFlag(args, "--json");
  std::optional<std::string> files[3];
  TemplateChoice templates;
  try {
    files[0] = TakeOption(args, "--prg");
    files[1] = TakeOption(args, "--chr");
    files[2] = TakeOption(args, "--inst");
    templates.MenuRomFile = TakeOption(args, "--menu-template").value_or("");
    templates.InstRomFile = TakeOption(args, "--inst-template").value_or("");
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva verify: " << e.what() << "\n" << usage;
    return 2;
  }
  return RunOnProject("verify", usage.c_str(), args, [&](Workspace& ws, UserInterface&) {
    std::array<std::string, 3> paths = ExportedImagePaths(ws.Proj.ProjectFileName);
    for (std::size_t i = 0; i < 3; ++i)
      if (files[i]) paths[i] = *files[i];
    const VerifyReport report = VerifyImages(ws, templates, paths);
    if (json) WriteReportJson(ws, report, paths);
    if (!report.Refusal.empty()) {
      std::cerr << "korva verify: " << report.Refusal << "\n";
      return 1;
    }
    if (!json) std::cout << VerifyReportText(report);
    return report.Matches() ? 0 : 1;
  });
}
}  // namespace

const Command kVerifyCommand{"verify", kArgs,
                             "check three images (the exported ones, or read back from chips) against the project\n"
                             "      and its ROMs, slot by slot and image by image (--json: as JSON)",
                             &RunVerify};

}  // namespace korva::cli
