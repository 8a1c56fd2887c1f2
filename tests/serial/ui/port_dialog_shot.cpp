// Renders the port dialog with two ports and its list dropped down into a PNG
// (the picture in docs/), from scratch devices so that it looks the same anywhere.
#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

#include "serial/ports/port_avail.h"
#include "serial/ui/com_select_form.h"
#include "tests/serial/port_scratch.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Two adapters as the user sees them: links to names under /dev, the products
  // from a stand-in sysfs, and a probe that finds them free. (Adapters really
  // plugged into this machine would be listed too.)
  port_scratch::TScratch scratch;
  scratch.AddUsbSysfs("ttyUSB0", "FT232R USB UART");
  scratch.AddUsbSysfs("ttyACM0", "CP2102 USB to UART Bridge Controller");
  scratch.Link("com1", "/dev/ttyUSB0");
  scratch.Link("com3", "/dev/ttyACM0");
  TPortMapConfig config = scratch.Config();
  config.DevDir = "/dev";
  SetPortMapConfig(config);
  DispatcherPortProbe = [](const std::string&) { return TProbeResult::prOpened; };

  TComSelectForm form;
  form.show();
  app.processEvents();
  form.PortsComboBox.showPopup();
  app.processEvents();
  QWidget* popup = form.PortsComboBox.view()->window();

  // Both windows on one canvas, where they stand on the screen.
  const QRect dialogRect(form.mapToGlobal(QPoint(0, 0)), form.size());
  const QRect popupRect(popup->mapToGlobal(QPoint(0, 0)), popup->size());
  const QRect all = dialogRect.united(popupRect).adjusted(-8, -8, 8, 8);
  QPixmap canvas(all.size());
  canvas.fill(QColor(0x70, 0x80, 0x90));
  {
    QPainter p(&canvas);
    p.drawPixmap(dialogRect.topLeft() - all.topLeft(), form.grab());
    p.drawPixmap(popupRect.topLeft() - all.topLeft(), popup->grab());
  }
  form.PortsComboBox.hidePopup();
  ResetPortMapConfig();
  return canvas.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
