// Renders the main window to a PNG file, for the docs:
//   zedazi-shot docs/window-idle.png            the window as started
//   zedazi-shot --busy docs/window-busy.png     connected, in mid-download
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/graphics/bitmap.h"
#include "app/graphics/glyph_data.h"
#include "app/qt/form1.h"
#include "app/qt/skin/memo.h"
#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"
#include "app/qt/skin/speed_button.h"

int main(int argc, char** argv) {
  const bool busy = argc == 3 && std::strcmp(argv[1], "--busy") == 0;
  if (argc != 2 && !busy) {
    std::fprintf(stderr, "usage: %s [--busy] FILE.png\n", argv[0]);
    return 2;
  }
  const char* path = argv[argc - 1];
  QApplication app(argc, argv);
  TForm1 form;
  if (busy) {
    form.TCN_RB->setChecked(true);
    form.SpeedButton1->SetGlyph(TBitmap(ConnectedGlyph));
    form.SpeedButton1->SetCaption(QStringLiteral(" DisCnct"));
    form.Memo1->AddLine("Waiting for STB...");
    form.Memo1->AddLine("Initializing Download task...");
    for (int i = 0; i < 12; ++i)
      form.Memo1->AddLine(QString::asprintf("Data packet  %03d  ........... OK", i));
    form.ProgressBar1->SetMax(20);
    form.ProgressBar1->SetPosition(12);
  }
  form.show();
  QApplication::processEvents();
  if (!form.grab().save(QString::fromLocal8Bit(path))) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}
