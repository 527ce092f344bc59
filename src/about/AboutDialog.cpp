#include "about/AboutDialog.h"

#include "about/UpdateAnswer.h"
#include "app/MessageBox.h"
#include "project/Model.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>
#include <exception>
#include <memory>

#ifndef KORVA_UPDATE_URL
#define KORVA_UPDATE_URL "https://korva.example.org/check-update/korva"
#endif
#ifndef KORVA_WEBSITE_URL
#define KORVA_WEBSITE_URL "https://korva.example.org/"
#endif

namespace korva {
namespace {

// At most `limit` characters of `text`, for showing text that came from the
// network in a message box.
QString Shortened(const QString& text, qsizetype limit) {
  if (text.size() <= limit) return text;
  return text.left(limit) + QStringLiteral("...");
}

// Events go on during a transfer, so its button must not start a second one:
// it is disabled, and the wait cursor shown, for as long as this lives.
class BusyButton {
 public:
  explicit BusyButton(QPushButton* button) : button_(button) {
    button_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~BusyButton() {
    QApplication::restoreOverrideCursor();
    button_->setEnabled(true);
  }
  BusyButton(const BusyButton&) = delete;
  BusyButton& operator=(const BusyButton&) = delete;

 private:
  QPushButton* button_;
};

}  // namespace

QMessageBox::StandardButton AboutDesktop::ShowMessage(QWidget* owner, QMessageBox::Icon icon,
                                                      const QString& caption, const QString& text,
                                                      QMessageBox::StandardButtons buttons) {
  return app::MessageBox(icon, caption, text, buttons, owner).Run();
}

void AboutDesktop::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace korva

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      updateUrl_(QStringLiteral(KORVA_UPDATE_URL)),
      websiteUrl_(QStringLiteral(KORVA_WEBSITE_URL)) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(300, 161);
  setSizeGripEnabled(false);
  QFont windowFont(QStringLiteral("Tahoma"));
  windowFont.setPixelSize(11);  // 8 pt at 96 dots per inch
  setFont(windowFont);

  lblTitle_ = new QLabel(QStringLiteral("KORVA BUILDER"), this);
  lblTitle_->setObjectName(QStringLiteral("lblTitle"));
  lblTitle_->setGeometry(0, 16, 300, 33);
  lblTitle_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  QFont titleFont(QStringLiteral("Calibri"));
  titleFont.setPixelSize(27);  // 20 pt
  titleFont.setBold(true);
  lblTitle_->setFont(titleFont);

  lblBuildInfo_ = new QLabel(this);
  lblBuildInfo_->setObjectName(QStringLiteral("lblBuildInfo"));
  lblBuildInfo_->setGeometry(0, 56, 300, 13);
  lblBuildInfo_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  lblWebsite_ = new QLabel(this);
  lblWebsite_->setObjectName(QStringLiteral("lblWebsite"));
  lblWebsite_->setTextFormat(Qt::RichText);
  lblWebsite_->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff; text-decoration:underline\">%1</a>")
                           .arg(websiteUrl_.toHtmlEscaped()));
  lblWebsite_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblWebsite_->setCursor(Qt::PointingHandCursor);
  lblWebsite_->setOpenExternalLinks(false);
  // A configured address wider than the label's place widens it evenly on
  // both sides, up to the box's width, instead of being cut off.
  const int addressWidth = QFontMetrics(windowFont).horizontalAdvance(websiteUrl_) + 4;
  const int labelWidth = std::clamp(addressWidth, 161, 300);
  lblWebsite_->setGeometry(70 + (161 - labelWidth) / 2, 80, labelWidth, 13);
  connect(lblWebsite_, &QLabel::linkActivated, this, [this] { lblWebsiteClick(); });

  btnCheckUpdate_ = new QPushButton(QStringLiteral("Check for Update"), this);
  btnCheckUpdate_->setObjectName(QStringLiteral("btnCheckUpdate"));
  btnCheckUpdate_->setGeometry(24, 120, 105, 25);
  connect(btnCheckUpdate_, &QPushButton::clicked, this, &AboutDialog::btnCheckUpdateClick);

  btnOK_ = new QPushButton(QStringLiteral("OK"), this);
  btnOK_->setObjectName(QStringLiteral("btnOK"));
  btnOK_->setGeometry(208, 120, 75, 25);
  connect(btnOK_, &QPushButton::clicked, this, &AboutDialog::btnOKClick);

  setTabOrder(btnCheckUpdate_, btnOK_);
  btnOK_->setFocus();

  FormCreate();
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::SetDesktop(korva::AboutDesktop* desktop) { desktop_ = desktop != nullptr ? desktop : &realDesktop_; }

void AboutDialog::FormCreate() {
  lblBuildInfo_->setText(QStringLiteral("Build %1, %2").arg(korva::BuildNumber).arg(korva::kBuildDateText));
}

void AboutDialog::lblWebsiteClick() { desktop_->OpenUrl(QUrl(websiteUrl_)); }

void AboutDialog::btnOKClick() { accept(); }

void AboutDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  btnCheckUpdate_->setDefault(false);
  btnOK_->setDefault(true);
  btnOK_->setFocus(Qt::OtherFocusReason);
}

void AboutDialog::done(int result) {
  if (cancel_.Running()) cancel_.Cancel();
  QDialog::done(result);
}

void AboutDialog::btnCheckUpdateClick() {
  // Nothing may leave a handler: every failure ends up in the error box.
  try {
    CheckForUpdate();
  } catch (const korva::DownloadCancelled&) {
    // The box was closed meanwhile: nothing more to say.
  } catch (const std::exception& e) {
    ShowApplicationError(QString::fromStdString(e.what()));
  } catch (...) {
    ShowApplicationError(QStringLiteral("Unexpected error in the update check"));
  }
}

void AboutDialog::CheckForUpdate() {
  QByteArray body;
  {
    const korva::BusyButton busy(btnCheckUpdate_);
    body = korva::DownloadText(updateUrl_, downloadTimeoutMs_, &cancel_);
  }

  const korva::UpdateAnswer answer = korva::ParseUpdateAnswer(std::string_view(body.constData(), body.size()));
  if (answer.NewBuild <= korva::BuildNumber) {
    ShowInformation(QStringLiteral("No update available!\r\n\r\nCurrent version is latest."), QMessageBox::Ok);
    return;
  }
  const QString text =
      QStringLiteral("Current Build %1\r\n\r\nNew Build %2 available!").arg(korva::BuildNumber).arg(answer.NewBuild);
  if (ShowInformation(text, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) return;

  // The address comes from the network: only a web page goes to the browser.
  const QString address = QString::fromUtf8(answer.Address);
  const QUrl url(address, QUrl::StrictMode);
  if (!korva::IsWebAddress(answer.Address) || !url.isValid() || !korva::IsHttpScheme(url) || url.host().isEmpty()) {
    ShowApplicationError(QStringLiteral("The download address \"%1\" is not an http or https address; it was not opened.")
                             .arg(korva::Shortened(address, 200)));
    return;
  }
  desktop_->OpenUrl(url);
}

QMessageBox::StandardButton AboutDialog::ShowInformation(const QString& text, QMessageBox::StandardButtons buttons) {
  return desktop_->ShowMessage(this, QMessageBox::Information, QStringLiteral("Information"), text, buttons);
}

void AboutDialog::ShowApplicationError(const QString& message) {
  desktop_->ShowMessage(this, QMessageBox::Critical, QStringLiteral("KORVA Builder"), korva::app::MessageBox::ErrorText(message),
                        QMessageBox::Ok);
}
