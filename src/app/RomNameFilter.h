#pragma once
// The list a slot's ROM box offers while the user types into it: the ROM
// names that hold the typed text anywhere, in any case, ranked so an exact
// name is never buried under its variants (RankRomName: equal names, then
// those that start with the text, then the rest), each group in the list's
// own order. A proxy over the ROM names, so the box maps a name chosen from
// it back to its index in ROMList.
#include <QSortFilterProxyModel>

#include <string>

namespace korva::app {

class RomNameFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit RomNameFilter(QObject* parent);

  // The text typed so far; the list follows at once.
  void SetText(const QString& text);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  int Rank(const QModelIndex& index) const;

  std::string text_;  // UTF-8
};

}  // namespace korva::app
