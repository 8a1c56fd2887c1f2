// Renders the main window to a PNG file, for the docs:
//   zedazi-shot docs/window-idle.png            the window as started
//   zedazi-shot --busy docs/window-busy.png     connected, in mid-download
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/bitmap.h"
#include "app/form1.h"
#include "app/glyph_data.h"
#include "app/memo.h"
#include "app/progress_bar.h"
#include "app/radio_group.h"
#include "app/speed_button.h"

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
    for (const char* line : {"Waiting for STB...", "STB found", "Sending request...",
                             "Header received", "Receiving data..."})
      form.Memo1->AddLine(QString::fromUtf8(line));
    form.ProgressBar1->SetMax(180);
    form.ProgressBar1->SetPosition(112);
  }
  form.show();
  QApplication::processEvents();
  if (!form.grab().save(QString::fromLocal8Bit(path))) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}
