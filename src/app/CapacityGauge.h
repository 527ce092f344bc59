#pragma once
// The capacity gauge in the cartridge panel: how much of the 512 KB PRG and
// CHR images the slots' games take, from the builder's own placement
// (FitGames, the function the export decides by), and, in red, what stops
// the build: slots whose ROM is missing, no game of PRG 16 KB and CHR 8 KB, a
// game the cartridge cannot take, or the slot whose game no longer fits.
#include "builder/ImageBuilder.h"

#include <QWidget>

#include <vector>

class QLabel;

namespace korva::app {

class CapacityGauge : public QWidget {
  Q_OBJECT
 public:
  explicit CapacityGauge(QWidget* parent);

  // The figures, PRG and CHR a line each, and what stops the build, a
  // sentence a line. The tooltip has the figures in one line ("PRG 368/512 KB
  // CHR 200/512 KB") and the same sentences. `missing` are the numbers of
  // the slots whose ROM is missing, which the fit leaves out.
  void Show(const CartridgeFit& fit, const std::vector<int>& missing = {});

 private:
  QLabel* figures_;
  QLabel* problem_;
};

// Gives a label the red of a warning, or takes it away. A disabled window
// greys it like the rest.
void SetRed(QLabel* label, bool red);

}  // namespace korva::app
