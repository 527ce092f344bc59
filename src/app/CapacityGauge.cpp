#include "app/CapacityGauge.h"

#include "app/SlotGrid.h"

#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

namespace korva::app {

// Red text while enabled; a disabled window greys it like the rest.
void SetRed(QLabel* label, bool red) {
  QPalette palette = label->parentWidget()->palette();
  if (red) {
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
      palette.setColor(group, QPalette::WindowText, QColor(0xC0, 0, 0));
  }
  label->setPalette(palette);
}

namespace {

QString FiguresText(const CartridgeFit& fit) {
  const auto kb = [](std::uint32_t bytes) { return QString::number((bytes + 1023) / 1024); };
  const QString limit = QString::number(kImageSize / 1024);
  return QStringLiteral("PRG %1/%2 KB  CHR %3/%2 KB").arg(kb(fit.PrgUsed), limit, kb(fit.ChrUsed));
}

QString ProblemText(const CartridgeFit& fit, const std::vector<int>& missing) {
  QStringList lines;
  if (missing.size() == 1) lines << QStringLiteral("Slot %1: its ROM is missing").arg(missing.front());
  if (missing.size() > 1) {
    QStringList numbers;
    for (int n : missing) numbers << QString::number(n);
    lines << QStringLiteral("Slots %1: their ROMs are missing").arg(numbers.join(QStringLiteral(", ")));
  }
  if (fit.OverflowSlot != 0) lines << QStringLiteral("Slot %1 no longer fits").arg(fit.OverflowSlot);
  if (fit.UnusableSlot != 0) lines << QStringLiteral("Slot %1: the cartridge cannot take this game").arg(fit.UnusableSlot);
  if (!fit.HasHalfBankGame) lines << QStringLiteral("Needs one game with PRG 16 KB and CHR 8 KB");
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

CapacityGauge::CapacityGauge(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CapacityGauge"));
  figures_ = new QLabel(this);
  figures_->setObjectName(QStringLiteral("lblCapacity"));
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("lblCapacityProblem"));
  SetRed(problem_, true);
  // Smaller (the design's 7 pt, grown with the layout), so two problems fit
  // beside the instruction lines.
  QFont small = problem_->font();
  small.setPointSizeF(7.0 * LayoutUnit());
  problem_->setFont(small);
  problem_->setWordWrap(true);
  for (QLabel* label : {figures_, problem_}) {
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  layout->addWidget(figures_);
  layout->addWidget(problem_, 1);
}

void CapacityGauge::Show(const CartridgeFit& fit, const std::vector<int>& missing) {
  // One image a line beside the instruction lines.
  const QString figures = FiguresText(fit);
  figures_->setText(QString(figures).replace(QStringLiteral("  "), QStringLiteral("\n")));
  SetRed(figures_, fit.OverflowSlot != 0);
  problem_->setText(ProblemText(fit, missing));
  setToolTip(figures + (problem_->text().isEmpty() ? QString() : QStringLiteral("\n") + problem_->text()));
}

}  // namespace korva::app
