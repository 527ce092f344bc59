#pragma once
// The recent projects of the File menu: the last eight project files opened
// or saved, newest first, kept in the program's settings (QSettings) under
// "RecentProjects". Files that no longer exist are left out and forgotten.
#include <QString>
#include <QStringList>

namespace korva::app {

class RecentProjects {
 public:
  static constexpr int kMax = 8;

  // `settingsFile` names an INI file to keep the list in; empty: the
  // program's usual settings.
  explicit RecentProjects(QString settingsFile = {});

  // Puts `path` first (once), keeping the newest eight.
  void Add(const QString& path);
  // The list, missing files removed from it.
  QStringList Items();

 private:
  QStringList Load() const;
  void Store(const QStringList& items) const;
  QString settingsFile_;
};

}  // namespace korva::app
