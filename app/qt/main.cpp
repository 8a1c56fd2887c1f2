// Start-up: the glyph streams already exist (static objects), then the
// application, its title, the serial component's platform, the main window and
// the event loop.
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include "app/application.h"
#include "app/graphics/bitmap.h"
#include "app/graphics/glyph_data.h"
#include "app/qt/error_box.h"
#include "app/qt/form1.h"
#include "app/qt/qt_platform.h"
#include "app/qt/skin/speed_button.h"

namespace {

constexpr char kUsage[] =
    "Usage: zedazi [--quit-when-shown] [Qt options such as -platform offscreen]\n"
    "Receives channel lists, logos, data areas and network configurations from\n"
    "the box over a serial line and saves them as files.\n"
    "\n"
    "  --quit-when-shown  show the window, then quit with exit code 0\n"
    "  --help, --version\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("zedazi 1.30");
      return 0;
    }
  }
  std::optional<QApplication> app;
  TQtSerialPlatform platform;
  QString failure;
  try {
    app.emplace(argc, argv);
    const QString title = QString::fromUtf8(ApplicationTitle);
    QApplication::setApplicationName(QStringLiteral("zedazi"));
    QApplication::setApplicationDisplayName(title);
    QApplication::setDesktopFileName(QString::fromLatin1(DesktopFileName));
    QApplication::setWindowIcon(
        QIcon(QPixmap::fromImage(GlyphImage(TBitmap(ApplicationIcon), true))));
    // Before the window: its port component takes the platform when created.
    SetSerialPlatform(&platform);
    TForm1 Form1;
    Form1.show();
    // A check that an installation starts: quit once the window is up.
    if (QApplication::arguments().contains(QStringLiteral("--quit-when-shown"))) {
      QTimer::singleShot(0, &Form1, [&Form1] {
        if (!Form1.isVisible()) {
          QApplication::exit(1);
          return;
        }
        std::printf("zedazi: window shown (%dx%d)\n", Form1.width(), Form1.height());
        std::fflush(stdout);
        QApplication::quit();
      });
    }
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
