// korva_render_icon SVG OUT.png SIZE: renders the application icon's SVG as
// a SIZE x SIZE PNG with a transparent background, for the hicolor theme's
// fixed-size folders. The build runs it; it needs no display.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: korva_render_icon SVG OUT.png SIZE\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int size = std::atoi(argv[3]);
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid() || size < 1 || size > 1024) {
    std::fprintf(stderr, "korva_render_icon: cannot render %s at size %s\n", argv[1], argv[3]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  svg.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "korva_render_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
