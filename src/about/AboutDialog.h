#pragma once
// The About box: the program's name, build and date, a link to the web site,
// and the manual check for a newer build, the program's only network access:
// it fetches the answer (UpdateDownload.h), reads it (UpdateAnswer.h) and
// says what it found. AboutDesktop is the box's seam to the desktop.
#include "about/UpdateDownload.h"

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QUrl>

class QLabel;
class QPushButton;

namespace korva {

// The build date shown beside the build number, "March 15 2021" (set by the
// build from KORVA_BUILD_DATE in CMakeLists.txt).
inline constexpr const char* kBuildDateText = KORVA_BUILD_DATE_TEXT;

// What the About box asks of the desktop: modal message boxes and the web
// browser. The box uses these real ones unless given others; tests give their
// own, to answer the dialogs and to see what would have been opened.
class AboutDesktop {
 public:
  virtual ~AboutDesktop() = default;

  // Shows `text` ("\r\n" breaks lines; never read as markup) in a modal
  // message box with `caption`, `icon` and `buttons`, centred on the screen
  // that `owner` is on, and returns the button pressed. Closing the box
  // counts as Cancel when there is one, else as OK.
  virtual QMessageBox::StandardButton ShowMessage(QWidget* owner, QMessageBox::Icon icon, const QString& caption,
                                                  const QString& text, QMessageBox::StandardButtons buttons);

  // Hands `url` to the user's default web browser. The outcome is ignored.
  virtual void OpenUrl(const QUrl& url);
};

}  // namespace korva

// The About box. Created once with the main window and shown modally from the
// Help menu; each time it opens, OK has the focus and is the default button.
// Everything runs on the user-interface thread; no error leaves a handler:
// failures are shown in the application's error box and the box stays open.
// Closing the box while the update check waits for its answer cancels the
// check: nothing more is shown.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
  ~AboutDialog() override;

  AboutDialog(const AboutDialog&) = delete;
  AboutDialog& operator=(const AboutDialog&) = delete;

  // The address the update check asks; the build's configured one until set.
  QString UpdateUrl() const { return updateUrl_; }
  void SetUpdateUrl(const QString& url) { updateUrl_ = url; }

  // The web site the link label shows and opens.
  QString WebsiteUrl() const { return websiteUrl_; }

  // How long the update check waits for its transfer, in milliseconds.
  void SetDownloadTimeout(int milliseconds) { downloadTimeoutMs_ = milliseconds; }

  // Message boxes and the browser go through `desktop` from now on; nullptr
  // brings back the real ones. The box does not own it; it must outlive the
  // box's use of it.
  void SetDesktop(korva::AboutDesktop* desktop);

 public slots:
  void done(int result) override;
  void lblWebsiteClick();
  void btnOKClick();
  void btnCheckUpdateClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void CheckForUpdate();
  QMessageBox::StandardButton ShowInformation(const QString& text, QMessageBox::StandardButtons buttons);
  void ShowApplicationError(const QString& message);

  QLabel* lblTitle_ = nullptr;
  QLabel* lblBuildInfo_ = nullptr;
  QLabel* lblWebsite_ = nullptr;
  QPushButton* btnCheckUpdate_ = nullptr;
  QPushButton* btnOK_ = nullptr;

  QString updateUrl_;
  QString websiteUrl_;
  int downloadTimeoutMs_ = korva::kDownloadTimeoutMs;
  korva::DownloadCancel cancel_;
  korva::AboutDesktop realDesktop_;
  korva::AboutDesktop* desktop_ = &realDesktop_;
};
