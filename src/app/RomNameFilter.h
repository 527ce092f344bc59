#pragma once
// The list a slot's ROM box offers while the user types into it: the ROM
// names that hold the typed text anywhere, in any case, ranked so an exact
// name is never buried under its variants: the names equal to the text
// first, then those that start with it, then the rest, each group in the
// list's own order. A proxy over the ROM names, so the box maps a name chosen
// from it back to its index in ROMList.
#include <QSortFilterProxyModel>

namespace korva::app {

class RomNameFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit RomNameFilter(QObject* parent);

  // How well `name` matches the typed `text`, case-blind: 0 equal, 1 starts
  // with it, 2 holds it elsewhere, -1 not at all.
  static int MatchRank(const QString& name, const QString& text);

  // The text typed so far; the list follows at once.
  void SetText(const QString& text);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  QString text_;
};

}  // namespace korva::app
