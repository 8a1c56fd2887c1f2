// Start-up: the glyph streams already exist (static objects), then the
// application, its title, the serial component's platform, the main window and
// the event loop.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <exception>
#include <optional>

#include "app/application.h"
#include "app/graphics/bitmap.h"
#include "app/error_box.h"
#include "app/form1.h"
#include "app/graphics/glyph_data.h"
#include "app/qt_platform.h"
#include "app/skin/speed_button.h"

int main(int argc, char** argv) {
  std::optional<QApplication> app;
  TQtSerialPlatform platform;
  QString failure;
  try {
    app.emplace(argc, argv);
    const QString title = QString::fromUtf8(ApplicationTitle);
    QApplication::setApplicationName(QStringLiteral("zedazi"));
    QApplication::setApplicationDisplayName(title);
    QApplication::setWindowIcon(
        QIcon(QPixmap::fromImage(GlyphImage(TBitmap(ApplicationIcon).Image(), true))));
    // Before the window: its port component takes the platform when created.
    SetSerialPlatform(&platform);
    TForm1 Form1;
    Form1.show();
    return QApplication::exec();
  } catch (const std::exception& e) {
    failure = QString::fromUtf8(e.what());
  } catch (...) {
    // Not one of ours: nothing meaningful to show.
  }
  SetSerialPlatform(nullptr);
  if (app) {
    ShowErrorBox(failure);
  } else {
    std::fprintf(stderr, "%s: %s\n", ApplicationTitle, failure.toLocal8Bit().constData());
  }
  return 1;
}
