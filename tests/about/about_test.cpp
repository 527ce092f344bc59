// The About box and its update check, against a server of the test's own on
// 127.0.0.1. No other address is ever asked.
#include "LoopbackServer.h"
#include "about/AboutDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

namespace {

// Stands in for the desktop: records every message box and every address
// handed to the browser, and answers the boxes with the next answer.
class RecordingDesktop : public korva::AboutDesktop {
 public:
  struct Shown {
    QMessageBox::Icon Icon;
    QString Caption;
    QString Text;
    QMessageBox::StandardButtons Buttons;
  };

  QMessageBox::StandardButton ShowMessage(QWidget*, QMessageBox::Icon icon, const QString& caption,
                                          const QString& text, QMessageBox::StandardButtons buttons) override {
    shown.append({icon, caption, text, buttons});
    return buttons.testFlag(nextAnswer) ? nextAnswer : QMessageBox::Ok;
  }
  void OpenUrl(const QUrl& url) override { opened.append(url); }

  QMessageBox::StandardButton nextAnswer = QMessageBox::Ok;
  QList<Shown> shown;
  QList<QUrl> opened;
};

// Answers the real message boxes: the browser is still only watched.
class WatchedBrowser : public korva::AboutDesktop {
 public:
  void OpenUrl(const QUrl& url) override { opened.append(url); }
  QList<QUrl> opened;
};

const QString kNoUpdate = QStringLiteral("No update available!\r\n\r\nCurrent version is latest.");
const QString kNewBuild13 = QStringLiteral("Current Build 12\r\n\r\nNew Build 13 available!");
const QByteArray kDownload = "http://127.0.0.1:9/download/korva-13.zip";

}  // namespace

class AboutTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void showsTheLayoutAndTexts();
  void focusStartsOnOkAndTabGoesToCheck();
  void okClosesTheBox();
  void websiteLinkOpensTheSite();
  void requestCarriesUserAgentAndPath();
  void updateCheck_data();
  void updateCheck();
  void cancelOpensNothing();
  void nonWebAddressIsRefused_data();
  void nonWebAddressIsRefused();
  void silentServerTimesOutWithoutFreezing();
  void refusedConnectionSaysTheServerCannotBeReached();
  void malformedUpdateUrlIsRefused();
  void errorStatusBodyIsReadLikeAnyOther();
  void bodyIsReadUpTo64KiB();
  void brokenOffAnswerEndsTheBody();
  void realDialogsAreCentredOnTheScreen();
  void okIsFocusedAndDefaultEachTimeTheBoxOpens();
  void closingDuringTheCheckCancelsIt();
  void screenshot();
};

void AboutTest::initTestCase() {
  // The requests go to 127.0.0.1 only, never through a proxy of the machine.
  for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"}) {
    qunsetenv(name);
  }
  qputenv("no_proxy", "127.0.0.1,localhost");
}

void AboutTest::showsTheLayoutAndTexts() {
  AboutDialog about;
  QCOMPARE(about.windowTitle(), QStringLiteral("About"));
  QCOMPARE(about.size(), QSize(300, 161));
  QCOMPARE(about.minimumSize(), about.maximumSize());
  QVERIFY(about.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  QVERIFY(!about.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!about.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

  auto* title = about.findChild<QLabel*>(QStringLiteral("lblTitle"));
  auto* build = about.findChild<QLabel*>(QStringLiteral("lblBuildInfo"));
  auto* website = about.findChild<QLabel*>(QStringLiteral("lblWebsite"));
  auto* check = about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"));
  auto* ok = about.findChild<QPushButton*>(QStringLiteral("btnOK"));
  QVERIFY(title && build && website && check && ok);

  QCOMPARE(title->text(), QStringLiteral("KORVA BUILDER"));
  QCOMPARE(title->geometry(), QRect(0, 16, 300, 33));
  QVERIFY(title->font().bold());
  QCOMPARE(title->font().pixelSize(), 27);
  QCOMPARE(build->text(), QStringLiteral("Build 12, March 15 2021"));
  QCOMPARE(build->geometry(), QRect(0, 56, 300, 13));
  QVERIFY(title->alignment().testFlag(Qt::AlignHCenter));
  QVERIFY(build->alignment().testFlag(Qt::AlignHCenter));
  QVERIFY(website->alignment().testFlag(Qt::AlignHCenter));
  QVERIFY(website->text().contains(about.WebsiteUrl().toHtmlEscaped()));
  QVERIFY(website->text().contains(QStringLiteral("underline")));
  QCOMPARE(website->cursor().shape(), Qt::PointingHandCursor);
  // The label is 161 pixels wide at 70, or wider and still centred on 150.
  QVERIFY(website->width() >= 161);
  QCOMPARE(website->geometry().center().x(), QRect(70, 80, 161, 13).center().x());
  QCOMPARE(website->y(), 80);
  QCOMPARE(check->text(), QStringLiteral("Check for Update"));
  QCOMPARE(check->geometry(), QRect(24, 120, 105, 25));
  QCOMPARE(ok->text(), QStringLiteral("OK"));
  QCOMPARE(ok->geometry(), QRect(208, 120, 75, 25));

  // The configured addresses: the update check's ends in its fixed path.
  QVERIFY(about.UpdateUrl().endsWith(QStringLiteral("/check-update/korva")));
  QVERIFY(about.UpdateUrl().startsWith(QStringLiteral("https://")));
  QVERIFY(about.WebsiteUrl().startsWith(QStringLiteral("https://")));
}

void AboutTest::focusStartsOnOkAndTabGoesToCheck() {
  AboutDialog about;
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));
  about.activateWindow();
  auto* check = about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"));
  auto* ok = about.findChild<QPushButton*>(QStringLiteral("btnOK"));
  QCOMPARE(about.focusWidget(), ok);
  QCOMPARE(check->nextInFocusChain(), ok);
}

void AboutTest::okClosesTheBox() {
  AboutDialog about;
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));
  QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
  QVERIFY(!about.isVisible());
  QCOMPARE(about.result(), int(QDialog::Accepted));
}

void AboutTest::websiteLinkOpensTheSite() {
  AboutDialog about;
  RecordingDesktop desktop;
  about.SetDesktop(&desktop);
  auto* website = about.findChild<QLabel*>(QStringLiteral("lblWebsite"));
  emit website->linkActivated(about.WebsiteUrl());
  QCOMPARE(desktop.opened, QList<QUrl>{QUrl(about.WebsiteUrl())});
  QVERIFY(desktop.shown.isEmpty());
}

void AboutTest::requestCarriesUserAgentAndPath() {
  LoopbackServer server;
  QVERIFY(server.Start());
  server.Answer("13," + kDownload);
  QCOMPARE(korva::DownloadText(server.Url(), 5000), "13," + kDownload);
  QCOMPARE(server.Requests().size(), 1);
  const QList<QByteArray> lines = server.Requests().front().split('\n');
  QCOMPARE(lines.front().trimmed(), QByteArray("GET /check-update/korva HTTP/1.1"));
  QVERIFY2(lines.contains("User-Agent: KORVA Build 12\r"), server.Requests().front().constData());
}

void AboutTest::updateCheck_data() {
  QTest::addColumn<QByteArray>("body");
  QTest::addColumn<QByteArray>("status");
  QTest::addColumn<int>("icon");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("buttons");
  QTest::addColumn<QString>("opened");

  const int info = QMessageBox::Information;
  const int error = QMessageBox::Critical;
  const int okOnly = QMessageBox::Ok;
  const int okCancel = QMessageBox::Ok | QMessageBox::Cancel;
  const QString information = QStringLiteral("Information");
  const QString appTitle = QStringLiteral("KORVA Builder");
  const QString download = QString::fromLatin1(kDownload);

  QTest::newRow("build 13 offered") << "13," + kDownload << QByteArray("200 OK") << info << information << kNewBuild13
                                    << okCancel << download;
  QTest::newRow("build 12 is current") << "12," + kDownload << QByteArray("200 OK") << info << information
                                       << kNoUpdate << okOnly << QString();
  QTest::newRow("build 5 is older") << "5," + kDownload << QByteArray("200 OK") << info << information << kNoUpdate
                                    << okOnly << QString();
  QTest::newRow("not a number") << "latest," + kDownload << QByteArray("200 OK") << info << information << kNoUpdate
                                << okOnly << QString();
  QTest::newRow("space for comma") << "13 " + kDownload << QByteArray("200 OK") << info << information << kNewBuild13
                                   << okCancel << download;
  QTest::newRow("line break for comma, trailing line break")
      << "13\r\n" + kDownload + "\r\n" << QByteArray("200 OK") << info << information << kNewBuild13 << okCancel
      << download;
  QTest::newRow("only the number") << QByteArray("13") << QByteArray("200 OK") << error << appTitle
                                   << QStringLiteral("List index out of bounds (1)") << okOnly << QString();
  QTest::newRow("only the number and a line break")
      << QByteArray("13\r\n") << QByteArray("200 OK") << error << appTitle
      << QStringLiteral("List index out of bounds (1)") << okOnly << QString();
  QTest::newRow("empty body") << QByteArray() << QByteArray("200 OK") << error << appTitle
                              << QStringLiteral("List index out of bounds (0)") << okOnly << QString();
  QTest::newRow("HTML error page")
      << QByteArray("<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>\n"
                    "<body><h1>Not Found</h1><p>13,http://127.0.0.1:9/x</p></body></html>\n")
      << QByteArray("404 Not Found") << info << information << kNoUpdate << okOnly << QString();
}

void AboutTest::updateCheck() {
  QFETCH(QByteArray, body);
  QFETCH(QByteArray, status);
  QFETCH(int, icon);
  QFETCH(QString, caption);
  QFETCH(QString, text);
  QFETCH(int, buttons);
  QFETCH(QString, opened);

  LoopbackServer server;
  QVERIFY(server.Start());
  server.Answer(body, status, status.startsWith("200") ? "text/plain" : "text/html");
  AboutDialog about;
  RecordingDesktop desktop;
  about.SetDesktop(&desktop);
  about.SetUpdateUrl(server.Url());
  about.SetDownloadTimeout(5000);

  QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate")), Qt::LeftButton);

  QCOMPARE(server.Requests().size(), 1);
  QCOMPARE(desktop.shown.size(), 1);
  QCOMPARE(int(desktop.shown.front().Icon), icon);
  QCOMPARE(desktop.shown.front().Caption, caption);
  QCOMPARE(desktop.shown.front().Text, text);
  QCOMPARE(int(desktop.shown.front().Buttons), buttons);
  QCOMPARE(desktop.opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
  QVERIFY(about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"))->isEnabled());
}

void AboutTest::cancelOpensNothing() {
  LoopbackServer server;
  QVERIFY(server.Start());
  server.Answer("13," + kDownload);
  AboutDialog about;
  RecordingDesktop desktop;
  desktop.nextAnswer = QMessageBox::Cancel;
  about.SetDesktop(&desktop);
  about.SetUpdateUrl(server.Url());
  about.btnCheckUpdateClick();
  QCOMPARE(desktop.shown.size(), 1);
  QCOMPARE(desktop.shown.front().Text, kNewBuild13);
  QVERIFY(desktop.opened.isEmpty());
}

void AboutTest::nonWebAddressIsRefused_data() {
  QTest::addColumn<QByteArray>("address");
  QTest::newRow("file") << QByteArray("file:///etc/passwd");
  QTest::newRow("javascript") << QByteArray("javascript:alert(1)");
  QTest::newRow("program path") << QByteArray("C:\\Windows\\System32\\calc.exe");
  QTest::newRow("ftp") << QByteArray("ftp://127.0.0.1/korva.zip");
  QTest::newRow("no host") << QByteArray("https:///download");
  QTest::newRow("quoted, with a line break") << QByteArray("\"http://127.0.0.1/a\r\nb\"");
  QTest::newRow("empty") << QByteArray("");
}

void AboutTest::nonWebAddressIsRefused() {
  QFETCH(QByteArray, address);
  LoopbackServer server;
  QVERIFY(server.Start());
  server.Answer("13," + address);
  AboutDialog about;
  RecordingDesktop desktop;
  about.SetDesktop(&desktop);
  about.SetUpdateUrl(server.Url());
  about.btnCheckUpdateClick();
  QVERIFY(desktop.opened.isEmpty());
  QCOMPARE(desktop.shown.size(), 2);
  QCOMPARE(desktop.shown[0].Text, kNewBuild13);
  QCOMPARE(desktop.shown[1].Icon, QMessageBox::Critical);
  QCOMPARE(desktop.shown[1].Caption, QStringLiteral("KORVA Builder"));
  QVERIFY2(desktop.shown[1].Text.contains(QStringLiteral("not an http or https address")),
           qPrintable(desktop.shown[1].Text));
}

void AboutTest::silentServerTimesOutWithoutFreezing() {
  LoopbackServer server;
  QVERIFY(server.Start());
  server.NeverAnswer();
  AboutDialog about;
  RecordingDesktop desktop;
  about.SetDesktop(&desktop);
  about.SetUpdateUrl(server.Url());
  about.SetDownloadTimeout(400);
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));

  // Events go on while the transfer waits: a timer keeps firing, and the
  // check button cannot start a second transfer meanwhile.
  int ticks = 0;
  bool checkDisabledMeanwhile = false;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ++ticks;
    if (!about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"))->isEnabled()) checkDisabledMeanwhile = true;
  });
  ticker.start(20);
  QElapsedTimer clock;
  clock.start();
  about.btnCheckUpdateClick();
  const qint64 elapsed = clock.elapsed();
  ticker.stop();

  QVERIFY2(elapsed >= 350 && elapsed < 5000, qPrintable(QString::number(elapsed)));
  QVERIFY(ticks >= 5);
  QVERIFY(checkDisabledMeanwhile);
  QCOMPARE(server.Requests().size(), 1);
  QCOMPARE(desktop.shown.size(), 1);
  QCOMPARE(desktop.shown.front().Icon, QMessageBox::Critical);
  QCOMPARE(desktop.shown.front().Caption, QStringLiteral("KORVA Builder"));
  QCOMPARE(desktop.shown.front().Text, QStringLiteral("The update server 127.0.0.1:%1 could not be reached: no answer "
                                                     "within 0.4 seconds.").arg(server.Port()));
  QVERIFY(about.isVisible());
  QVERIFY(about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"))->isEnabled());
}

void AboutTest::okIsFocusedAndDefaultEachTimeTheBoxOpens() {
  QWidget window;
  AboutDialog about(&window);
  auto* check = about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"));
  auto* ok = about.findChild<QPushButton*>(QStringLiteral("btnOK"));
  for (int round = 0; round < 3; ++round) {
    // A scan disables the main window, and with it the box, which loses its
    // focus.
    window.setEnabled(round != 1);
    window.setEnabled(true);
    bool okFirst = false;
    QTimer::singleShot(0, &about, [&] {
      okFirst = about.focusWidget() == ok && ok->isDefault() && !check->isDefault();
      check->setFocus(Qt::TabFocusReason);  // the user tabs to Check, then leaves with Escape
      QTest::keyClick(&about, Qt::Key_Escape);
    });
    about.exec();
    QVERIFY2(okFirst, qPrintable(QString::number(round)));
  }
}

void AboutTest::closingDuringTheCheckCancelsIt() {
  LoopbackServer server;
  QVERIFY(server.Start());
  server.NeverAnswer();
  AboutDialog about;
  RecordingDesktop desktop;
  about.SetDesktop(&desktop);
  about.SetUpdateUrl(server.Url());
  about.SetDownloadTimeout(4000);
  QTimer::singleShot(0, &about, [&] { about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"))->click(); });
  QTimer::singleShot(200, &about, [&] { QTest::keyClick(&about, Qt::Key_Escape); });
  QElapsedTimer clock;
  clock.start();
  about.exec();
  QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
  QVERIFY(!about.isVisible());
  QVERIFY(desktop.shown.isEmpty());
  QVERIFY(about.findChild<QPushButton*>(QStringLiteral("btnCheckUpdate"))->isEnabled());
  // The box opens again as usual.
  QTest::failOnWarning(QRegularExpression(QStringLiteral("Recursive")));
  QTimer::singleShot(0, &about, [&] { about.accept(); });
  QCOMPARE(about.exec(), int(QDialog::Accepted));
}

void AboutTest::refusedConnectionSaysTheServerCannotBeReached() {
  // A port that was just free on 127.0.0.1 and is closed again refuses.
  QTcpServer probe;
  QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
  const QString url = QStringLiteral("http://127.0.0.1:%1/check-update/korva").arg(probe.serverPort());
  probe.close();

  AboutDialog about;
  RecordingDesktop desktop;
  about.SetDesktop(&desktop);
  about.SetUpdateUrl(url);
  about.SetDownloadTimeout(5000);
  about.btnCheckUpdateClick();
  QCOMPARE(desktop.shown.size(), 1);
  const QString unreachable = QStringLiteral("The update server 127.0.0.1:%1 could not be reached: Connection refused")
                                  .arg(QUrl(url).port());
  QCOMPARE(desktop.shown.front().Text, unreachable + ".");
  QVERIFY(desktop.opened.isEmpty());

  try {
    korva::DownloadText(url, 5000);
    QFAIL("a refused connection returned a body");
  } catch (const korva::DownloadError& e) {
    QCOMPARE(QString::fromStdString(e.what()), unreachable);
  }
}

void AboutTest::malformedUpdateUrlIsRefused() {
  for (const QString& url : {QStringLiteral("ftp://127.0.0.1/check-update/korva"), QStringLiteral("not a url"),
                             QStringLiteral("http:///check-update/korva"), QString()}) {
    try {
      korva::DownloadText(url, 1000);
      QFAIL(qPrintable(QStringLiteral("fetched %1").arg(url)));
    } catch (const korva::DownloadError& e) {
      QCOMPARE(QString::fromStdString(e.what()),
               QStringLiteral("The update address \"%1\" is not an http or https address").arg(url));
    }
  }
}

void AboutTest::errorStatusBodyIsReadLikeAnyOther() {
  LoopbackServer server;
  QVERIFY(server.Start());
  server.Answer("13," + kDownload, "500 Internal Server Error");
  QCOMPARE(korva::DownloadText(server.Url(), 5000), "13," + kDownload);
}

void AboutTest::bodyIsReadUpTo64KiB() {
  LoopbackServer server;
  QVERIFY(server.Start());
  QByteArray big = "13," + kDownload + "\r\n";
  while (big.size() < 300 * 1024) big += "padding line that makes the answer far too long for an update check\r\n";
  server.Answer(big);
  const QByteArray body = korva::DownloadText(server.Url(), 5000);
  QCOMPARE(body.size(), qsizetype(64 * 1024));
  QCOMPARE(body, big.left(64 * 1024));

  // The check goes on with what was read.
  AboutDialog about;
  RecordingDesktop desktop;
  about.SetDesktop(&desktop);
  about.SetUpdateUrl(server.Url());
  about.btnCheckUpdateClick();
  QCOMPARE(desktop.shown.size(), 1);
  QCOMPARE(desktop.shown.front().Text.left(40), kNewBuild13.left(40));
}

void AboutTest::brokenOffAnswerEndsTheBody() {
  LoopbackServer server;
  QVERIFY(server.Start());
  // Promises 500 bytes, sends fewer, and closes the connection.
  server.AnswerRaw("HTTP/1.1 200 OK\r\nContent-Length: 500\r\nConnection: close\r\n\r\n13," + kDownload);
  QCOMPARE(korva::DownloadText(server.Url(), 5000), "13," + kDownload);
}

void AboutTest::realDialogsAreCentredOnTheScreen() {
  LoopbackServer server;
  QVERIFY(server.Start());
  server.Answer("13," + kDownload);
  AboutDialog about;
  WatchedBrowser browser;
  about.SetDesktop(&browser);
  about.SetUpdateUrl(server.Url());
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));
  about.move(10, 10);  // away from the middle, so centring on it would show

  QString title;
  QString text;
  QPoint centre;
  int boxes = 0;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    ++boxes;
    title = box->windowTitle();
    text = box->text();
    centre = box->frameGeometry().center();
    box->button(QMessageBox::Ok)->click();
  });
  answerer.start(20);
  QTimer::singleShot(10000, &answerer, &QTimer::stop);  // never wait for ever
  about.btnCheckUpdateClick();
  answerer.stop();

  QCOMPARE(boxes, 1);
  QCOMPARE(title, QStringLiteral("Information"));
  QCOMPARE(text, QStringLiteral("Current Build 12\n\nNew Build 13 available!"));
  const QPoint screenCentre = about.screen()->geometry().center();
  QVERIFY2((centre - screenCentre).manhattanLength() <= 2,
           qPrintable(QStringLiteral("%1,%2 vs %3,%4").arg(centre.x()).arg(centre.y()).arg(screenCentre.x())
                          .arg(screenCentre.y())));
  QCOMPARE(browser.opened, QList<QUrl>{QUrl(QString::fromLatin1(kDownload))});
}

void AboutTest::screenshot() {
  AboutDialog about;
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));
  const QPixmap shot = about.grab();
  QCOMPARE(shot.size() / shot.devicePixelRatio(), QSize(300, 161));
  // KORVA_SCREENSHOT names the file to keep it in (docs/screenshots/about.png).
  const QString file = qEnvironmentVariable("KORVA_SCREENSHOT");
  if (!file.isEmpty()) QVERIFY(shot.save(file, "PNG"));
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
