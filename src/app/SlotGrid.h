#pragma once
// The working area of the main window: the cartridge panel (select title,
// game icon mode, two instruction lines) and the scrolling list of the
// sixteen slot rows, with the capacity gauge. Every control shows one field
// of the project model and writes its changes straight into it. Each slot's
// ROM list can be filtered by typing into it (any part of a name, case-blind),
// and the box always shows the slot's ROM once it is left; the row that holds
// the focus is always scrolled into view.
#include "project/Workspace.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QPoint;
class QRect;
class QScrollBar;
class QStringListModel;

namespace korva::app {

class CapacityGauge;
class TitleEdit;

class SlotGrid : public QWidget {
  Q_OBJECT
 public:
  SlotGrid(Workspace& workspace, QWidget* parent);

  // Shows the whole project model: cartridge fields, titles, icons, ROM
  // choices and ROM information (a missing ROM's CRC in red, with a tooltip
  // that says how to find it). Runs no change handler but the title
  // cleaning.
  void ShowProject();

  // Gives every slot's ROM list the names of ROMList (one shared item model),
  // then shows the project: each list selects its slot's ROM.
  void SetROMNames(const std::vector<std::string>& names);

  // k visible rows (1 to 10): the list frame and the scroll bar follow, and
  // the scroll maximum becomes 16 - k.
  void SetVisibleRows(int k);
  int VisibleRows() const { return visibleRows_; }

  // The height of one slot row, and of the grid for k visible rows.
  int RowHeight() const { return rowHeight_; }
  int HeightForRows(int k) const;

  // A length, or a rectangle, of the design (drawn for an 8 pt window font)
  // in the pixels of the window's fonts: scaled by LayoutUnit().
  int Px(int design) const;
  QRect Px(const QRect& design) const;

  // cbROMChange for slot n, with the list's current selection.
  void cbROMChange(int n);

  // Selects `index` in slot n's list and runs its change handler, as if the
  // user had chosen it.
  void ChooseROM(int n, int index);

  // Clear Slot: slot n emptied (no ROM, title or icon) and shown.
  void ClearSlot(int n);

  // The slot (1 to 16) whose row holds the keyboard focus, or 0.
  int FocusedSlot() const;

  // The slot (1 to 16) whose row is visible at `point` (the grid's
  // coordinates), or 0.
  int SlotAt(const QPoint& point) const;

  QScrollBar* ScrollBar1() const { return scrollBar_; }
  QComboBox* cbROM(int n) const { return rows_.at(n - 1).rom; }
  QStringListModel* ROMNamesModel() const { return romNames_; }

 signals:
  // A control wrote a change into the project model.
  void Edited();
  // A text for the status bar: what a title field left out, a ROM name
  // that is no ROM.
  void statusText(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    QFrame* panel = nullptr;
    TitleEdit* title = nullptr;
    QComboBox* icon = nullptr;
    QComboBox* rom = nullptr;
    QLabel* info = nullptr;
  };

  void BuildCartridgePanel();
  void BuildRows();
  void SetFocusOrder();
  void WatchTitle(TitleEdit* edit);
  // The text typed into slot n's ROM box, on Enter or when the box is left:
  // the ROM of that name (in any case) is chosen, an empty box empties the
  // slot, any other text gives way to the slot's ROM and the status bar says
  // why.
  void AcceptRomText(int n);
  void LeaveRomBox(QWidget* old, QWidget* now);
  void ScrollBar1Change(int position);
  void cbIconChange(int n);
  void ShowSlot(int n);
  void ShowGauge();
  void ShowFocusedRow(QWidget* focused);
  void ScrollToSlot(int n);  // so that slot n's row is visible
  void MarkModified() { workspace_.Proj.ProjectModified = true; }

  Workspace& workspace_;
  QStringListModel* romNames_;
  QFrame* menuTitle_ = nullptr;
  TitleEdit* cartTitle_ = nullptr;
  QComboBox* gameIcons_ = nullptr;
  CapacityGauge* gauge_ = nullptr;
  TitleEdit* instLine1_ = nullptr;
  TitleEdit* instLine2_ = nullptr;
  QWidget* listOuter_ = nullptr;
  QWidget* list_ = nullptr;
  QScrollBar* scrollBar_ = nullptr;
  std::array<Row, SlotCount> rows_{};
  double unit_;
  int rowHeight_;
  int visibleRows_ = 4;
};

// The fonts of the two roles, the desktop's own: the window's proportional
// font (the application font) and the fixed-width font of the title fields
// (the system's fixed font, `scale` times its size).
QFont WindowFont();
QFont FixedFont(double scale = 1.0, bool bold = false);

// How much larger than the design's the fonts' lines are (at least 1): every
// pixel size of the window's layout is multiplied by it, so a desktop with
// larger fonts gets a larger window instead of cut-off text.
double LayoutUnit();

}  // namespace korva::app
