#include "app/MenuPreview.h"

#include "builder/Export.h"
#include "builder/MenuScreen.h"

#include <QAction>
#include <QIcon>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace korva::app {

namespace {
constexpr int kFollowMs = 100;
}

MenuPreview::MenuPreview(const Workspace& workspace, QWidget* parent)
    : QWidget(parent, Qt::Window), workspace_(workspace) {
  setObjectName(QStringLiteral("MenuPreview1"));
  setWindowTitle(QStringLiteral("Menu Preview"));
  setMinimumSize(kScreenWidth, kScreenHeight);
  resize(2 * kScreenWidth, 2 * kScreenHeight);

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
    if (Refresh()) update();
  });
}

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
      loadError_.empty() ? PreviewMenu(workspace_.Proj, workspace_.Library, templates_, frame) : loadError_;
  const QString problem = QString::fromStdString(why);
  if (!why.empty()) {
    const bool changed = problem != problem_ || !picture_.isNull();
    problem_ = problem;
    picture_ = QImage();
    return changed;
  }
  if (problem_.isEmpty() && !picture_.isNull() &&
      std::memcmp(picture_.constBits(), frame.Rgb.data(), frame.Rgb.size()) == 0)
    return false;
  QImage image(kScreenWidth, kScreenHeight, QImage::Format_RGB888);
  for (int y = 0; y < kScreenHeight; ++y)
    std::memcpy(image.scanLine(y), frame.Rgb.data() + static_cast<std::size_t>(y) * kScreenWidth * 3,
                static_cast<std::size_t>(kScreenWidth) * 3);
  picture_ = image;
  problem_.clear();
  return true;
}

int MenuPreview::Scale() const { return std::max(1, std::min(width() / kScreenWidth, height() / kScreenHeight)); }

void MenuPreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (picture_.isNull()) {
    p.setPen(Qt::white);
    p.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap, problem_);
    return;
  }
  const int scale = Scale();
  const QSize size(kScreenWidth * scale, kScreenHeight * scale);
  const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  p.drawImage(target, picture_);  // whole factors, no smoothing: every NES pixel a square
}

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
