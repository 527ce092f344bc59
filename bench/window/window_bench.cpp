// korva_window_bench: how quickly the window comes up with a large ROM
// database, and how quickly the sixteen ROM lists are filled again after a
// scan. Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
//   korva_window_bench [--entries N] [--runs R] [--scan DIR]
//
// It writes a ROM directory of N empty files and a korva_db.xml listing them,
// then
// - starts itself R times as a fresh process that opens the window on that
//   database and quits as soon as the window is exposed: the wall time of each
//   process, and the in-process time from main() to the window shown;
// - in this process, R times: the refill of the sixteen lists from the loaded
//   library (the shared list model), and the whole reload of korva_db.xml as a
//   scan's end runs it (parse, file check, refill).
// - with --scan, R times: a scan of DIR from the window (Scan ROM Directory),
//   from the command to the window enabled again with the lists refilled.
// It prints each median.
#include "app/KorvaApplication.h"
#include "app/SlotGrid.h"
#include "app/MainWindow.h"
#include "app/WindowCommands.h"
#include "app/WindowServices.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

// The icons live in the window library's resources, which a static library
// does not register by itself.
static void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A ROM directory of `count` empty files and the korva_db.xml that lists
// them, as a scan writes it. Returns the database's path.
std::string WriteDatabase(const QString& directory, int count) {
  const std::string root = QDir(directory).absolutePath().toStdString() + "/";
  std::ofstream xml(root + "korva_db.xml");
  xml << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KORVA Build=\"12\">\n  <ROMPath>" << root
      << "</ROMPath>\n  <ROMDB>\n";
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "Generated Game %05d (USA).nes", i);
    std::ofstream(root + name).put('\0');
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08X", 0x10000000u + static_cast<unsigned>(i) * 7919u);
    xml << "    <ROM CRC32=\"" << crc << "\">\n      <Filename>" << name << "</Filename>\n"
        << "      <INES Mapper=\"" << (i % 3 == 0 ? 0 : 3) << "\" ChrRomSize=\"8192\" PrgRomSize=\"32768\" "
        << "Mirroring=\"v\"/>\n    </ROM>\n";
  }
  xml << "  </ROMDB>\n</KORVA>\n";
  return root + "korva_db.xml";
}

korva::app::WindowOptions Options(const std::string& database) {
  korva::app::WindowOptions options;
  options.DatabasePath = database;
  options.NonInteractive = true;
  return options;
}

// The child: open the window on `database`, print the time from main() to
// the window exposed, quit.
int RunChild(korva::app::KorvaApplication& app, const std::string& database, Clock::time_point start) {
  InitIcons();
  korva::app::MainWindow window(Options(database));
  window.ShowMainWindow();
  if (!QTest::qWaitForWindowExposed(&window, 5000)) return 3;
  const double shown = Milliseconds(start, Clock::now());
  const auto lists = window.Grid().cbROM(16)->count();
  std::printf("%.2f %lld\n", shown, static_cast<long long>(lists));
  std::fflush(stdout);
  app.processEvents();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point start = Clock::now();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  korva::app::KorvaApplication app(argc, argv);

  int entries = 10000, runs = 5;
  QString child, scanDir;
  const QStringList args = app.arguments();
  for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--entries")) entries = args[i + 1].toInt();
    else if (args[i] == QLatin1String("--runs")) runs = std::max(1, args[i + 1].toInt());
    else if (args[i] == QLatin1String("--child")) child = args[i + 1];
    else if (args[i] == QLatin1String("--scan")) scanDir = args[i + 1];
  }
  if (!child.isEmpty()) return RunChild(app, child.toStdString(), start);

  QTemporaryDir dir;
  const std::string database = WriteDatabase(dir.path(), entries);

  // Start-up, each in a fresh process.
  std::vector<double> wall, inProcess;
  for (int r = 0; r < runs + 1; ++r) {
    QProcess process;
    const Clock::time_point t0 = Clock::now();
    process.start(QCoreApplication::applicationFilePath(), {"--child", QString::fromStdString(database)});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
      std::fprintf(stderr, "the window did not come up: %s\n", process.readAllStandardError().constData());
      return 1;
    }
    const double total = Milliseconds(t0, Clock::now());
    const QList<QByteArray> out = process.readAllStandardOutput().trimmed().split(' ');
    if (out.size() != 2 || out[1].toLongLong() != entries) {
      std::fprintf(stderr, "the window's lists do not hold %d ROMs\n", entries);
      return 1;
    }
    if (r == 0) continue;  // warm-up: the page cache and the font cache
    wall.push_back(total);
    inProcess.push_back(out[0].toDouble());
  }

  // The refill and the reload, in this process.
  InitIcons();
  korva::app::MainWindow window(Options(database));
  window.ShowMainWindow();
  if (!QTest::qWaitForWindowExposed(&window, 5000)) return 1;
  std::vector<double> refill, reload;
  for (int r = 0; r < runs; ++r) {
    const std::vector<std::string> names = window.Work().Library.ROMNames;
    Clock::time_point t0 = Clock::now();
    window.Grid().SetROMNames(names);
    app.processEvents();
    refill.push_back(Milliseconds(t0, Clock::now()));

    t0 = Clock::now();
    window.Commands().LoadRomDatabase();
    app.processEvents();
    reload.push_back(Milliseconds(t0, Clock::now()));
  }
  if (window.Grid().cbROM(1)->count() != entries) return 1;

  std::vector<double> scans;
  int scanned = 0;
  if (!scanDir.isEmpty()) {
    QTemporaryDir scanOut;
    korva::app::MainWindow scanWindow(Options(scanOut.filePath(QStringLiteral("korva_db.xml")).toStdString()));
    scanWindow.ShowMainWindow();
    if (!QTest::qWaitForWindowExposed(&scanWindow, 5000)) return 1;
    for (int r = 0; r < runs; ++r) {
      scanWindow.Services().QueueFileName(scanDir);
      const Clock::time_point t0 = Clock::now();
      scanWindow.Commands().SetROMDirectory1->trigger();
      while (scanWindow.Commands().ScanRunning() || !scanWindow.isEnabled())
        app.processEvents(QEventLoop::WaitForMoreEvents);
      scans.push_back(Milliseconds(t0, Clock::now()));
    }
    scanned = scanWindow.Grid().cbROM(1)->count();
  }

  std::printf("entries %d, runs %d (medians)\n", entries, runs);
  std::printf("start-up, process start to exit after the window is shown: %8.1f ms\n", Median(wall));
  std::printf("start-up, main() to the window shown:                     %8.1f ms\n", Median(inProcess));
  std::printf("refill of the sixteen lists:                              %8.2f ms\n", Median(refill));
  std::printf("reload of korva_db.xml (parse, file check, refill):       %8.1f ms\n", Median(reload));
  if (!scans.empty())
    std::printf("scan from the window to the lists refilled (%d ROMs):   %8.1f ms\n", scanned, Median(scans));
  return 0;
}
