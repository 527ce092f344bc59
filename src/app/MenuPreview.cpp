#include "app/MenuPreview.h"

#include "builder/Export.h"
#include "romlib/FileUtil.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <memory>

namespace korva::app {

namespace {
constexpr int kFollowMs = 100;
constexpr auto kPaletteKey = "MenuPreview/Palette";
constexpr const char* kPaletteValues[] = {"rgb", "ntsc"};  // in the order of ScreenPalette

std::unique_ptr<QSettings> OpenSettings(const QString& file) {
  return file.isEmpty() ? std::make_unique<QSettings>() : std::make_unique<QSettings>(file, QSettings::IniFormat);
}
}  // namespace

// The picture, scaled by whole factors and centred on black, or the reason
// there is none.
class MenuPreview::Screen : public QWidget {
 public:
  explicit Screen(MenuPreview& owner) : QWidget(&owner), owner_(owner) {
    setMinimumSize(kScreenWidth, kScreenHeight);
  }
  int Scale() const { return std::max(1, std::min(width() / kScreenWidth, height() / kScreenHeight)); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (owner_.picture_.isNull()) {
      p.setPen(Qt::white);
      p.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap, owner_.problem_);
      return;
    }
    const int scale = Scale();
    const QSize size(kScreenWidth * scale, kScreenHeight * scale);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    p.drawImage(target, owner_.picture_);  // whole factors, no smoothing: every NES pixel a square
  }

 private:
  MenuPreview& owner_;
};

MenuPreview::MenuPreview(const Workspace& workspace, QWidget* parent, QString settingsFile)
    : QWidget(parent, Qt::Window), workspace_(workspace), settingsFile_(std::move(settingsFile)) {
  setObjectName(QStringLiteral("MenuPreview1"));
  setWindowTitle(QStringLiteral("Menu Preview"));

  paletteChoice_ = new QComboBox(this);
  paletteChoice_->setObjectName(QStringLiteral("cbPalette"));
  for (ScreenPalette p : {ScreenPalette::Rgb, ScreenPalette::Ntsc})
    paletteChoice_->addItem(QString::fromLatin1(ScreenPaletteName(p)));
  paletteChoice_->setToolTip(QStringLiteral("The colours of the arcade's RGB PPU, or of a NES on a television"));
  auto* colours = new QLabel(QStringLiteral("&Colours:"), this);
  colours->setBuddy(paletteChoice_);
  screen_ = new Screen(*this);
  notes_ = new QLabel(this);
  notes_->setObjectName(QStringLiteral("lblArcadeNotes"));
  notes_->setWordWrap(true);
  notes_->setTextFormat(Qt::PlainText);
  notes_->hide();

  auto* bar = new QHBoxLayout;
  bar->addWidget(colours);
  bar->addWidget(paletteChoice_);
  bar->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->addLayout(bar);
  column->addWidget(screen_, 1);
  column->addWidget(notes_);
  resize(2 * kScreenWidth + 12, 2 * kScreenHeight + 48);

  const QString stored = OpenSettings(settingsFile_)->value(QString::fromLatin1(kPaletteKey)).toString();
  palette_ = stored == QLatin1String(kPaletteValues[1]) ? ScreenPalette::Ntsc : ScreenPalette::Rgb;
  paletteChoice_->setCurrentIndex(static_cast<int>(palette_));
  connect(paletteChoice_, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetPalette(index == 1 ? ScreenPalette::Ntsc : ScreenPalette::Rgb); });

  action_ = new QAction(QIcon(QStringLiteral(":/icons/preview.svg")), QStringLiteral("Menu &Preview"), this);
  action_->setObjectName(QStringLiteral("ViewMenuPreview1"));
  action_->setCheckable(true);
  action_->setToolTip(QStringLiteral("Menu Preview"));
  connect(action_, &QAction::toggled, this, [this](bool on) {
    if (on) {
      show();
      raise();
    } else {
      hide();
    }
  });

  timer_.setInterval(kFollowMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (Refresh()) screen_->update();
  });
}

void MenuPreview::SetPalette(ScreenPalette palette) {
  if (palette == palette_) return;
  palette_ = palette;
  paletteChoice_->setCurrentIndex(static_cast<int>(palette));
  OpenSettings(settingsFile_)->setValue(QString::fromLatin1(kPaletteKey),
                                        QString::fromLatin1(kPaletteValues[static_cast<int>(palette)]));
  picture_ = QImage();  // drawn anew in the other colours
  Refresh();
  screen_->update();
}

QString MenuPreview::Notes() const { return notes_->text(); }

void MenuPreview::LoadTemplatesForProject() {
  // As the window's Export takes them: a "menurom.bin" in the project's own
  // directory replaces the built-in menu.
  const std::string& file = workspace_.Proj.ProjectFileName;
  templatesFor_ = file;
  templatesLoaded_ = true;
  try {
    templates_ = file.empty() ? LoadTemplates()
                              : LoadTemplates(TemplateChoice{.FromProjectDirectory = true}, FullDirectoryOf(file));
    loadError_.clear();
  } catch (const std::exception& e) {
    loadError_ = e.what();
  }
}

bool MenuPreview::Refresh() {
  if (!templatesLoaded_ || workspace_.Proj.ProjectFileName != templatesFor_) LoadTemplatesForProject();
  MenuFrame frame;
  const std::string why =
      loadError_.empty() ? PreviewMenu(workspace_.Proj, workspace_.Library, templates_, frame, palette_) : loadError_;
  QStringList lines;
  for (const std::string& note : frame.ArcadeNotes) lines << QString::fromStdString(note);
  const QString notes = lines.join(QLatin1Char('\n'));
  const bool notesChanged = notes != notes_->text();
  if (notesChanged) {
    notes_->setText(notes);
    notes_->setVisible(!notes.isEmpty());
  }
  const QString problem = QString::fromStdString(why);
  if (!why.empty()) {
    const bool changed = problem != problem_ || !picture_.isNull();
    problem_ = problem;
    picture_ = QImage();
    return changed || notesChanged;
  }
  if (problem_.isEmpty() && !picture_.isNull() &&
      std::memcmp(picture_.constBits(), frame.Rgb.data(), frame.Rgb.size()) == 0)
    return notesChanged;
  QImage image(kScreenWidth, kScreenHeight, QImage::Format_RGB888);
  for (int y = 0; y < kScreenHeight; ++y)
    std::memcpy(image.scanLine(y), frame.Rgb.data() + static_cast<std::size_t>(y) * kScreenWidth * 3,
                static_cast<std::size_t>(kScreenWidth) * 3);
  picture_ = image;
  problem_.clear();
  return true;
}

int MenuPreview::Scale() const { return screen_->Scale(); }

QWidget* MenuPreview::PictureArea() const { return screen_; }

void MenuPreview::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  templatesLoaded_ = false;  // a menurom.bin put beside the project counts from the next show
  Refresh();
  timer_.start();
  action_->setChecked(true);
}

void MenuPreview::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  timer_.stop();
  action_->setChecked(false);
}

}  // namespace korva::app
