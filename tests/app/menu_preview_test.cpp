// The "Menu Preview" window: its picture is the core's preview of the
// project, it follows an edit by itself while shown, it takes the project's
// own menu template, it scales by whole factors, its action shows and hides
// it, and its colours are the arcade's unless switched (remembered).
#include "app/MenuPreview.h"
#include "builder/MenuScreen.h"

#include "romlib/Assets.h"
#include "romlib/FileUtil.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <algorithm>

#include <cstring>

static void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace korva::app {

class MenuPreviewTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { InitIcons(); }

  void FollowsTheProjectWhileShown() {
    Workspace ws;
    ws.Proj.slot(1).Title = "FIRST GAME";
    MenuPreview pane(ws, nullptr);
    pane.ShowAction()->trigger();
    QVERIFY(pane.isVisible());
    QCOMPARE(pane.Picture().size(), QSize(256, 240));
    QVERIFY(pane.Problem().isEmpty());
    QCOMPARE(Differs(pane, ws), false);

    // Slot 1's first letter is the cell at row 7, column 6: pixel (48..55, 56..63).
    const QImage before = pane.Picture();
    ws.Proj.slot(1).Title = "WIRST GAME";
    QTRY_VERIFY_WITH_TIMEOUT(pane.Picture() != before, 2000);
    QCOMPARE(Differs(pane, ws), false);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 256; ++x)
        if (pane.Picture().pixel(x, y) != before.pixel(x, y)) QVERIFY(x / 8 == 6 && y / 8 == 7);

    pane.ShowAction()->trigger();
    QVERIFY(!pane.isVisible());
    QVERIFY(!pane.ShowAction()->isChecked());
  }

  // The window's Export takes a menurom.bin beside the project; so does the
  // pane, and one without our layout table gets words, not a guess.
  void SaysWhenTheProjectsMenuHasNoLayoutWeKnow() {
    QTemporaryDir dir;
    const auto builtIn = FindAsset("MENUROM");
    std::vector<std::uint8_t> other(builtIn.begin(), builtIn.end());
    std::fill_n(other.begin() + 10 + 0x3000, 12, 0xFF);
    WriteFileAtomic(dir.filePath(QStringLiteral("menurom.bin")).toStdString(), std::span<const std::uint8_t>(other));
    Workspace ws;
    MenuPreview pane(ws, nullptr);
    pane.show();
    QVERIFY(!pane.Picture().isNull());
    ws.Proj.ProjectFileName = dir.filePath(QStringLiteral("cart.korva")).toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(pane.Picture().isNull(), 2000);
    QVERIFY(pane.Problem().contains(QStringLiteral("no layout we know")));
  }

  // The sizes are the picture's area: the window less the switch above it.
  void ScalesByWholeFactors() {
    Workspace ws;
    MenuPreview pane(ws, nullptr);
    pane.show();
    const QSize around = pane.size() - pane.PictureArea()->size();
    const struct {
      QSize size;
      int scale;
    } cases[] = {{{256, 240}, 1}, {{511, 479}, 1}, {{512, 480}, 2}, {{1100, 500}, 2}, {{800, 760}, 3}};
    for (const auto& c : cases) {
      pane.resize(c.size + around);
      QCoreApplication::processEvents();
      QCOMPARE(pane.PictureArea()->size(), c.size);
      QCOMPARE(pane.Scale(), c.scale);
    }
  }

  // The arcade's colours first; the switch to NTSC redraws, and the next
  // window starts with it. A menurom.bin beside the project that uses $2D
  // gets a line under the picture naming the entry; ours gets none.
  void ShowsTheArcadesColoursUnlessSwitchedAndSaysWhatTheArcadeLacks() {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("settings.ini"));
    Workspace ws;
    {
      MenuPreview pane(ws, nullptr, settings);
      pane.show();
      QCOMPARE(pane.Palette(), ScreenPalette::Rgb);
      QCOMPARE(Differs(pane, ws, ScreenPalette::Rgb), false);
      QVERIFY(pane.Notes().isEmpty());
      auto* choice = pane.findChild<QComboBox*>(QStringLiteral("cbPalette"));
      QVERIFY(choice);
      QCOMPARE(choice->currentText(), QStringLiteral("PlayChoice-10 (RGB)"));
      choice->setCurrentIndex(1);
      QCOMPARE(pane.Palette(), ScreenPalette::Ntsc);
      QCOMPARE(Differs(pane, ws, ScreenPalette::Ntsc), false);
    }
    MenuPreview pane(ws, nullptr, settings);
    QCOMPARE(pane.Palette(), ScreenPalette::Ntsc);
    QCOMPARE(pane.findChild<QComboBox*>(QStringLiteral("cbPalette"))->currentText(), QStringLiteral("NES (NTSC)"));
    pane.show();

    const auto builtIn = FindAsset("MENUROM");
    std::vector<std::uint8_t> grey(builtIn.begin(), builtIn.end());
    const std::size_t layout = 10 + 0x3000;
    grey[10 + (grey[layout + 16] | (grey[layout + 17] << 8)) - 0xC000 + 7] = 0x3D;
    WriteFileAtomic(dir.filePath(QStringLiteral("menurom.bin")).toStdString(), std::span<const std::uint8_t>(grey));
    ws.Proj.ProjectFileName = dir.filePath(QStringLiteral("cart.korva")).toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(!pane.Notes().isEmpty(), 2000);
    QVERIFY(pane.Notes().startsWith(QStringLiteral("Palette entry $3F07 (background palette 1, colour 3) is colour $3D")));
    QVERIFY(pane.findChild<QLabel*>(QStringLiteral("lblArcadeNotes"))->isVisible());
    QVERIFY(!pane.Picture().isNull());
  }

 private:
  // True when the pane's picture is not the core's preview of the project.
  static bool Differs(const MenuPreview& pane, const Workspace& ws, ScreenPalette palette = ScreenPalette::Rgb) {
    MenuFrame frame;
    if (!PreviewMenu(ws.Proj, ws.Library, LoadTemplates(), frame, palette).empty()) return true;
    return std::memcmp(pane.Picture().constBits(), frame.Rgb.data(), frame.Rgb.size()) != 0;
  }
};

}  // namespace korva::app

QTEST_MAIN(korva::app::MenuPreviewTest)
#include "menu_preview_test.moc"
