#include "about/About.h"

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About"));
}
