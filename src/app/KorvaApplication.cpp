#include "app/KorvaApplication.h"

#include "app/MessageBox.h"
#include "project/Model.h"

#include <exception>

namespace korva::app {

KorvaApplication::KorvaApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setOrganizationName(QStringLiteral("KORVA"));
  setApplicationName(QStringLiteral("KORVA Builder"));
  setApplicationDisplayName(QString());
  setApplicationVersion(QString::number(BuildNumber));
  setDesktopFileName(QStringLiteral(KORVA_APP_ID));  // the desktop entry's name
}

void KorvaApplication::Report(const std::string& message) {
  try {
    if (handler_) {
      handler_(message);
      return;
    }
    MessageBox::ShowError(nullptr, QString::fromStdString(message));
  } catch (...) {
    // The error box itself failed; there is nobody left to tell.
  }
}

bool KorvaApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report("An unknown error occurred.");
  }
  return false;
}

}  // namespace korva::app
