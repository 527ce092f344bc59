#include "app/SlotGrid.h"

#include "app/CapacityGauge.h"
#include "app/RomNameFilter.h"
#include "app/TitleEdit.h"
#include "builder/ImageBuilder.h"
#include "project/ProjectCommands.h"
#include "romlib/ROMInfo.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringListModel>

#include <algorithm>

namespace korva::app {

namespace {

// The grid lies below the 29-pixel toolbar; the layout's positions are given
// from the top of the window's client area, in the design's pixels.
constexpr int kToolbarHeight = 29;
constexpr int kListTop = 144 - kToolbarHeight;
constexpr int kDesignRowHeight = 112;
// The design's fonts: lines of the window font 13 pixels high (8 pt at 96
// dots per inch), of the fixed-width font 17.
constexpr double kDesignLineHeight = 13.0;
constexpr double kDesignFixedLineHeight = 17.0;

QLabel* MakeLabel(const QString& text, QWidget* parent, QRect geometry, Qt::Alignment align = Qt::AlignLeft) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(align | Qt::AlignVCenter);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QFrame* MakePanel(const QString& name, QWidget* parent, QRect geometry) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  panel->setGeometry(geometry);
  return panel;
}

QComboBox* MakeList(const QString& name, QWidget* parent, QRect geometry) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->setEditable(false);
  list->setGeometry(geometry);
  // Never measure every item: a list may hold thousands of ROM names.
  list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  list->setMinimumContentsLength(8);
  list->setMaxVisibleItems(16);
  return list;
}

}  // namespace

QFont WindowFont() { return QApplication::font(); }

QFont FixedFont(double scale, bool bold) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * scale);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(qRound(font.pixelSize() * scale));
  }
  font.setBold(bold);
  return font;
}

double LayoutUnit() {
  const double window = QFontMetricsF(WindowFont()).height() / kDesignLineHeight;
  const double fixed = QFontMetricsF(FixedFont()).height() / kDesignFixedLineHeight;
  return std::max({1.0, window, fixed});
}

int SlotGrid::Px(int design) const { return qRound(design * unit_); }

QRect SlotGrid::Px(const QRect& design) const {
  return {Px(design.left()), Px(design.top()), Px(design.width()), Px(design.height())};
}

int SlotGrid::HeightForRows(int k) const { return Px(kListTop) + rowHeight_ * k; }

SlotGrid::SlotGrid(Workspace& workspace, QWidget* parent)
    : QWidget(parent),
      workspace_(workspace),
      romNames_(new QStringListModel(this)),
      unit_(LayoutUnit()),
      rowHeight_(Px(kDesignRowHeight)) {
  setObjectName(QStringLiteral("SlotGrid"));
  BuildCartridgePanel();
  BuildRows();
  SetFocusOrder();
  SetVisibleRows(4);
}

void SlotGrid::BuildCartridgePanel() {
  menuTitle_ = MakePanel(QStringLiteral("pMenuTitle"), this, Px(QRect(4, 33 - kToolbarHeight, 448, 108)));
  // The labels keep their right edge at 126; they may reach further left
  // than the layout's 104 pixels so a wider stand-in font is not cut off.
  QLabel* titleLabel =
      MakeLabel(QStringLiteral("Cartridge Select &Title:"), menuTitle_, Px(QRect(2, 14, 124, 13)), Qt::AlignRight);
  QLabel* line1Label = MakeLabel(QStringLiteral("Instruction Line &1:"), menuTitle_, Px(QRect(2, 46, 124, 13)), Qt::AlignRight);
  QLabel* line2Label = MakeLabel(QStringLiteral("Instruction Line &2:"), menuTitle_, Px(QRect(2, 78, 124, 13)), Qt::AlignRight);

  cartTitle_ = new TitleEdit(static_cast<int>(kTitleMaxLength), menuTitle_);
  cartTitle_->setObjectName(QStringLiteral("edtCartTitle"));
  cartTitle_->setGeometry(Px(QRect(132, 10, 185, 21)));

  gameIcons_ = MakeList(QStringLiteral("cbGameIcons"), menuTitle_, Px(QRect(324, 10, 97, 23)));
  gameIcons_->setFont(FixedFont());
  gameIcons_->addItems({QStringLiteral("1 Player"), QStringLiteral("2 Player"), QStringLiteral("Lightgun")});
  gameIcons_->setToolTip(QStringLiteral("Game icon mode: the icon beside the cartridge select title on the arcade's\n"
                                        "game list (none for 1 Player, the two-player sign, or the light gun)"));
  gameIcons_->setAccessibleName(QStringLiteral("Game icon mode"));

  instLine1_ = new TitleEdit(static_cast<int>(kInstLineMaxLength), menuTitle_);
  instLine1_->setObjectName(QStringLiteral("edtInstLine1"));
  instLine1_->setGeometry(Px(QRect(132, 42, 185, 23)));
  instLine1_->setFont(FixedFont());

  instLine2_ = new TitleEdit(static_cast<int>(kInstLineMaxLength), menuTitle_);
  instLine2_->setObjectName(QStringLiteral("edtInstLine2"));
  instLine2_->setGeometry(Px(QRect(132, 74, 185, 23)));
  instLine2_->setFont(FixedFont());

  titleLabel->setBuddy(cartTitle_);
  line1Label->setBuddy(instLine1_);
  line2Label->setBuddy(instLine2_);

  gauge_ = new CapacityGauge(menuTitle_);
  gauge_->setGeometry(Px(QRect(324, 38, 122, 68)));

  for (TitleEdit* edit : {cartTitle_, instLine1_, instLine2_}) WatchTitle(edit);
  connect(cartTitle_, &QLineEdit::textChanged, this,
          [this] { workspace_.Proj.Cartridge.CartTitle = cartTitle_->text().toStdString(); emit Edited(); });
  connect(instLine1_, &QLineEdit::textChanged, this,
          [this] { workspace_.Proj.Cartridge.InstLine1 = instLine1_->text().toStdString(); emit Edited(); });
  connect(instLine2_, &QLineEdit::textChanged, this,
          [this] { workspace_.Proj.Cartridge.InstLine2 = instLine2_->text().toStdString(); emit Edited(); });
  // The game icon mode has no change handler; the model follows the list.
  connect(gameIcons_, &QComboBox::currentIndexChanged, this,
          [this](int i) { workspace_.Proj.Cartridge.Icons = i; emit Edited(); });
}

void SlotGrid::BuildRows() {
  listOuter_ = new QWidget(this);
  listOuter_->setObjectName(QStringLiteral("pROMListOuter"));
  list_ = new QWidget(listOuter_);
  list_->setObjectName(QStringLiteral("pROMList"));
  list_->setGeometry(0, 0, Px(432), rowHeight_ * SlotCount);

  QStringList iconNames;
  for (std::string_view name : IconNames) iconNames << QString::fromLatin1(name.data(), qsizetype(name.size()));

  for (int n = 1; n <= SlotCount; ++n) {
    Row& row = rows_[n - 1];
    const QString num = QString::number(n);
    row.panel = MakePanel(QStringLiteral("pRow") + num, list_, QRect(0, rowHeight_ * (n - 1), Px(431), rowHeight_));
    QFrame* numPanel = MakePanel(QStringLiteral("pRowNum") + num, row.panel, QRect(0, 0, Px(49), rowHeight_));
    QLabel* numLabel = MakeLabel(QStringLiteral("#") + num, numPanel, Px(QRect(8, 8, 36, 18)));
    numLabel->setFont(FixedFont(12.0 / 9.0, true));
    MakeLabel(QStringLiteral("Menu Title:"), row.panel, Px(QRect(64, 8, 80, 13)));
    MakeLabel(QStringLiteral("Menu Icon:"), row.panel, Px(QRect(296, 8, 80, 13)));
    MakeLabel(QStringLiteral("ROM:"), row.panel, Px(QRect(64, 56, 32, 13)));
    row.info = MakeLabel(QString(), row.panel, Px(QRect(98, 56, 200, 13)));
    row.info->setObjectName(QStringLiteral("lblROMInfo") + num);

    row.title = new TitleEdit(static_cast<int>(kTitleMaxLength), row.panel);
    row.title->setObjectName(QStringLiteral("edtTitle") + num);
    row.title->setGeometry(Px(QRect(64, 28, 209, 23)));
    row.title->setFont(FixedFont());

    row.icon = MakeList(QStringLiteral("cbIcon") + num, row.panel, Px(QRect(296, 28, 121, 23)));
    row.icon->setFont(FixedFont());
    row.icon->addItems(iconNames);
    row.icon->setCurrentIndex(0);

    row.rom = MakeList(QStringLiteral("cbROM") + num, row.panel, Px(QRect(64, 76, 353, 21)));
    row.rom->setModel(romNames_);
    if (auto* view = qobject_cast<QListView*>(row.rom->view())) view->setUniformItemSizes(true);
    // Typing filters the list: the names that hold the typed text anywhere,
    // in any case, the best matches first, offered below the field. The
    // field never adds a name.
    row.rom->setEditable(true);
    row.rom->setInsertPolicy(QComboBox::NoInsert);
    row.rom->lineEdit()->setAcceptDrops(false);
    row.rom->installEventFilter(this);
    auto* ranked = new RomNameFilter(row.rom);
    ranked->setSourceModel(romNames_);
    connect(row.rom->lineEdit(), &QLineEdit::textEdited, ranked, &RomNameFilter::SetText);
    auto* filter = new QCompleter(ranked, row.rom);
    filter->setFilterMode(Qt::MatchContains);
    filter->setCaseSensitivity(Qt::CaseInsensitive);
    filter->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    filter->setMaxVisibleItems(16);
    row.rom->setCompleter(filter);
    row.rom->setCurrentIndex(-1);

    WatchTitle(row.title);
    connect(row.title, &QLineEdit::textChanged, this,
            [this, n] { workspace_.Proj.slot(n).Title = rows_[n - 1].title->text().toStdString(); emit Edited(); });
    // Only the user's choices run the handlers; the program's own settings
    // of a selection do not.
    connect(row.icon, &QComboBox::activated, this, [this, n] { cbIconChange(n); });
    connect(row.rom, &QComboBox::activated, this, [this, n] { cbROMChange(n); });
  }

  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setObjectName(QStringLiteral("ScrollBar1"));
  scrollBar_->setRange(0, SlotCount - 4);
  scrollBar_->setPageStep(1);
  scrollBar_->setSingleStep(1);
  scrollBar_->setFocusPolicy(Qt::TabFocus);
  connect(scrollBar_, &QScrollBar::valueChanged, this, &SlotGrid::ScrollBar1Change);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    LeaveRomBox(old, now);
    ShowFocusedRow(now);
  });
}

void SlotGrid::WatchTitle(TitleEdit* edit) {
  connect(edit, &TitleEdit::edited, this, [this] { MarkModified(); });
  connect(edit, &TitleEdit::charactersLeftOut, this,
          [this](const QStringList& characters) { emit statusText(TitleEdit::LeftOutText(characters)); });
}

bool SlotGrid::eventFilter(QObject* watched, QEvent* event) {
  // The ROM box hands its key events to its line edit itself, past any
  // filter there: they are watched on the box.
  for (int n = 1; n <= SlotCount; ++n) {
    if (rows_[n - 1].rom != watched) continue;
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const QLineEdit* edit = rows_[n - 1].rom->lineEdit();
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        AcceptRomText(n);
        return true;
      }
      if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier &&
          (edit->text().isEmpty() || edit->selectedText() == edit->text())) {
        ClearSlot(n);
        return true;
      }
    }
    break;
  }
  return QWidget::eventFilter(watched, event);
}

// A ROM box that lost the focus (to anything but its own filter's list)
// takes what was typed into it.
void SlotGrid::LeaveRomBox(QWidget* old, QWidget* now) {
  for (int n = 1; n <= SlotCount; ++n) {
    QComboBox* rom = rows_[n - 1].rom;
    if (old != rom && old != rom->lineEdit()) continue;
    if (now == rom || now == rom->lineEdit() || now == rom->completer()->popup()) return;
    rom->completer()->popup()->hide();
    AcceptRomText(n);
    return;
  }
}

void SlotGrid::AcceptRomText(int n) {
  QComboBox* rom = rows_[n - 1].rom;
  const QString text = rom->lineEdit()->text();
  const QString chosen = rom->itemText(rom->currentIndex());
  if (text == chosen) return;
  if (text.trimmed().isEmpty()) {
    ClearSlot(n);
    return;
  }
  const QStringList& names = romNames_->stringList();
  for (int i = 0; i < names.size(); ++i) {
    if (RankRomName(names[i].toStdString(), text.toStdString()) == RomNameRank::kEqual) {
      ChooseROM(n, i);
      return;
    }
  }
  ShowSlot(n);
  emit statusText(chosen.isEmpty() ? QStringLiteral("No ROM is named \"%1\"; slot %2 stays empty").arg(text).arg(n)
                                   : QStringLiteral("No ROM is named \"%1\"; slot %2 keeps %3").arg(text).arg(n).arg(chosen));
}

void SlotGrid::ClearSlot(int n) {
  korva::ClearSlot(workspace_.Proj, n);
  ShowSlot(n);
  ShowGauge();
}

int SlotGrid::FocusedSlot() const {
  const QWidget* focused = QApplication::focusWidget();
  for (int n = 1; n <= SlotCount; ++n)
    if (focused != nullptr && rows_[n - 1].panel->isAncestorOf(focused)) return n;
  return 0;
}

void SlotGrid::ShowFocusedRow(QWidget* focused) {
  if (focused == nullptr) return;
  for (int n = 1; n <= SlotCount; ++n) {
    if (rows_[n - 1].panel->isAncestorOf(focused)) {
      ScrollToSlot(n);
      return;
    }
  }
}

void SlotGrid::ScrollToSlot(int n) {
  const int top = scrollBar_->value();
  if (n - 1 < top) {
    scrollBar_->setValue(n - 1);
  } else if (n > top + visibleRows_) {
    scrollBar_->setValue(n - visibleRows_);
  }
}

int SlotGrid::SlotAt(const QPoint& point) const {
  if (!listOuter_->geometry().contains(point)) return 0;
  const QPoint inList = list_->mapFrom(this, point);
  for (int n = 1; n <= SlotCount; ++n) {
    if (rows_[n - 1].panel->geometry().contains(inList)) return n;
  }
  return 0;
}

void SlotGrid::SetFocusOrder() {
  std::vector<QWidget*> order;
  for (Row& row : rows_) {
    order.push_back(row.title);
    order.push_back(row.icon);
    order.push_back(row.rom);
  }
  order.push_back(scrollBar_);
  order.push_back(cartTitle_);
  order.push_back(gameIcons_);
  order.push_back(instLine1_);
  order.push_back(instLine2_);
  for (std::size_t i = 0; i + 1 < order.size(); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
  QWidget::setTabOrder(order.back(), order.front());
}

void SlotGrid::SetVisibleRows(int k) {
  visibleRows_ = k;
  listOuter_->setGeometry(Px(4), Px(kListTop), Px(432), rowHeight_ * k);
  scrollBar_->setGeometry(Px(434), Px(kListTop) + 1, Px(17), rowHeight_ * k - 1);
  // A new maximum clamps the position; the list moves with it.
  scrollBar_->setMaximum(SlotCount - k);
  ScrollBar1Change(scrollBar_->value());
  setFixedHeight(HeightForRows(k));
}

void SlotGrid::ScrollBar1Change(int position) { list_->move(0, -rowHeight_ * position); }

void SlotGrid::cbROMChange(int n) {
  Row& row = rows_[n - 1];
  ChooseSlotROM(workspace_.Proj, workspace_.Library, n, row.rom->currentIndex());
  ShowSlot(n);
  ShowGauge();
  emit Edited();
}

void SlotGrid::ChooseROM(int n, int index) {
  rows_[n - 1].rom->setCurrentIndex(index);
  cbROMChange(n);
}

void SlotGrid::ShowGauge() {
  std::vector<int> missing;
  for (int n = 1; n <= SlotCount; ++n)
    if (workspace_.Proj.slot(n).IsMissing()) missing.push_back(n);
  gauge_->Show(FitGames(SlotRoms(workspace_.Proj, workspace_.Library)), missing);
}

void SlotGrid::cbIconChange(int n) {
  workspace_.Proj.slot(n).Icon = rows_[n - 1].icon->currentIndex();
  MarkModified();
  emit Edited();
}

void SlotGrid::ShowSlot(int n) {
  Row& row = rows_[n - 1];
  const Slot& slot = workspace_.Proj.slot(n);
  if (row.title->text().toStdString() != slot.Title) row.title->setText(QString::fromStdString(slot.Title));
  {
    const QSignalBlocker blockIcon(row.icon);
    row.icon->setCurrentIndex(slot.Icon);
    const QSignalBlocker blockRom(row.rom);
    row.rom->setCurrentIndex(slot.ROMIndex);
    // The box shows the slot's ROM, whatever was typed into it.
    const QString shown = row.rom->itemText(slot.ROMIndex);
    if (row.rom->lineEdit()->text() != shown) row.rom->lineEdit()->setText(shown);
  }
  // A missing ROM: its CRC in red, and what to do about it.
  const QString missing = slot.IsMissing() ? QString::fromStdString(CrcText(slot.MissingCRC)) : QString();
  row.info->setText(missing.isEmpty() ? QString::fromStdString(SlotROMInfo(workspace_.Proj, workspace_.Library, n))
                                      : QStringLiteral("ROM missing: CRC %1").arg(missing));
  SetRed(row.info, !missing.isEmpty());
  const QString tip = missing.isEmpty() ? QString()
                                        : QStringLiteral("The ROM database holds no ROM with CRC %1. Scan the directory "
                                                         "that holds it (Settings > Scan ROM Directory) to fill it in.")
                                              .arg(missing);
  row.info->setToolTip(tip);
  row.rom->setToolTip(tip);
}

void SlotGrid::ShowProject() {
  const CartridgeSettings& cart = workspace_.Proj.Cartridge;
  // Copies: setting one field's text writes the model back.
  const std::string title = cart.CartTitle, line1 = cart.InstLine1, line2 = cart.InstLine2;
  const int icons = cart.Icons;
  // A text is set only when it changed, so the caret stays where it was.
  const auto show = [](QLineEdit* edit, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (edit->text() != shown) edit->setText(shown);
  };
  show(cartTitle_, title);
  show(instLine1_, line1);
  show(instLine2_, line2);
  gameIcons_->setCurrentIndex(icons);
  for (int n = 1; n <= SlotCount; ++n) ShowSlot(n);
  ShowGauge();
}

void SlotGrid::SetROMNames(const std::vector<std::string>& names) {
  QStringList list;
  list.reserve(qsizetype(names.size()));
  for (const std::string& name : names) list << QString::fromStdString(name);
  for (Row& row : rows_) row.rom->blockSignals(true);
  romNames_->setStringList(list);
  for (Row& row : rows_) row.rom->blockSignals(false);
  ShowProject();
}

}  // namespace korva::app
