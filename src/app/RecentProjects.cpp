#include "app/RecentProjects.h"

#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace korva::app {

namespace {
constexpr auto kKey = "RecentProjects";
}

RecentProjects::RecentProjects(QString settingsFile) : settingsFile_(std::move(settingsFile)) {}

QStringList RecentProjects::Load() const {
  const auto settings = settingsFile_.isEmpty() ? std::make_unique<QSettings>()
                                                : std::make_unique<QSettings>(settingsFile_, QSettings::IniFormat);
  return settings->value(QString::fromLatin1(kKey)).toStringList();
}

void RecentProjects::Store(const QStringList& items) const {
  const auto settings = settingsFile_.isEmpty() ? std::make_unique<QSettings>()
                                                : std::make_unique<QSettings>(settingsFile_, QSettings::IniFormat);
  settings->setValue(QString::fromLatin1(kKey), items);
}

void RecentProjects::Add(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList items = Load();
  items.removeAll(absolute);
  items.prepend(absolute);
  while (items.size() > kMax) items.removeLast();
  Store(items);
}

QStringList RecentProjects::Items() {
  const QStringList stored = Load();
  QStringList items;
  for (const QString& path : stored)
    if (QFileInfo(path).isFile()) items << path;
  if (items != stored) Store(items);
  return items;
}

}  // namespace korva::app
