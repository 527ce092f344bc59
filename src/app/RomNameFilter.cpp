#include "app/RomNameFilter.h"

#include "project/ProjectCommands.h"

namespace korva::app {

RomNameFilter::RomNameFilter(QObject* parent) : QSortFilterProxyModel(parent) {
  setDynamicSortFilter(true);
  sort(0);
}

int RomNameFilter::Rank(const QModelIndex& index) const {
  const QByteArray name = index.data().toString().toUtf8();
  return static_cast<int>(RankRomName(std::string_view(name.constData(), static_cast<std::size_t>(name.size())), text_));
}

void RomNameFilter::SetText(const QString& text) {
  std::string utf8 = text.toStdString();
  if (utf8 == text_) return;
  text_ = std::move(utf8);
  invalidate();
}

bool RomNameFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  return Rank(sourceModel()->index(sourceRow, 0, sourceParent)) != static_cast<int>(RomNameRank::kNone);
}

bool RomNameFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const int a = Rank(left), b = Rank(right);
  return a != b ? a < b : left.row() < right.row();
}

}  // namespace korva::app
