#pragma once
// The About box: the program's name, build and date, a link to the web site,
// and the manual check for a newer build.
#include <QDialog>

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
};
