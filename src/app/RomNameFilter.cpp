#include "app/RomNameFilter.h"

namespace korva::app {

RomNameFilter::RomNameFilter(QObject* parent) : QSortFilterProxyModel(parent) {
  setDynamicSortFilter(true);
  sort(0);
}

int RomNameFilter::MatchRank(const QString& name, const QString& text) {
  if (name.compare(text, Qt::CaseInsensitive) == 0) return 0;
  if (name.startsWith(text, Qt::CaseInsensitive)) return 1;
  return name.contains(text, Qt::CaseInsensitive) ? 2 : -1;
}

void RomNameFilter::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  invalidate();
}

bool RomNameFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  return MatchRank(sourceModel()->index(sourceRow, 0, sourceParent).data().toString(), text_) >= 0;
}

bool RomNameFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const int a = MatchRank(left.data().toString(), text_);
  const int b = MatchRank(right.data().toString(), text_);
  return a != b ? a < b : left.row() < right.row();
}

}  // namespace korva::app
