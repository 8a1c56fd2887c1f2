#include "app/form1.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <exception>

#include "app/application.h"
#include "app/graphics/bitmap.h"
#include "app/skin/child.h"
#include "app/error_box.h"
#include "app/graphics/glyph_data.h"
#include "app/skin/image_panel.h"
#include "app/skin/memo.h"
#include "app/skin/progress_bar.h"
#include "app/skin/radio_group.h"
#include "app/skin/skin_form.h"
#include "app/skin/speed_button.h"
#include "app/skin/title_bar.h"
#include "app/skin/url_label.h"
#include "app/window_view.h"

namespace {

constexpr QPoint kFirstPosition(768, 222);

// Places a control by its client coordinates of the main window.
void Place(QWidget* control, int left, int top, int width, int height) {
  control->setGeometry(left, top - TSkinTitleBar::kHeight, width, height);
}

// The first position, moved in only as far as needed to keep the window on a
// screen smaller than the one it was laid out for.
QPoint FirstPosition(QSize size) {
  const QScreen* screen = QGuiApplication::screenAt(kFirstPosition);
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return kFirstPosition;
  const QRect area = screen->availableGeometry();
  QPoint pos = kFirstPosition;
  pos.setX(std::max(area.left(), std::min(pos.x(), area.right() + 1 - size.width())));
  pos.setY(std::max(area.top(), std::min(pos.y(), area.bottom() + 1 - size.height())));
  return pos;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      link_(RivuComPort1),
      view_(std::make_unique<TWindowView>(*this, [this] { task_.reset(); })) {
  const QString title = QString::fromUtf8(ApplicationTitle);
  setWindowTitle(title);
  setWindowIcon(QIcon(QPixmap::fromImage(GlyphImage(TBitmap(ApplicationIcon).Image(), true))));
  const QSize client(kClientWidth, kClientHeight);
  setFixedSize(client);

  skinForm1 = MakeChild<TSkinForm>(this, title, client, this);
  QWidget* area = skinForm1->Client();

  skinImagePanel1 = MakeChild<TSkinImagePanel>(area);
  Place(skinImagePanel1, 0, 50, 476, 53);
  skinImagePanel1->SetPicture(TSkinTheme::Banner());

  skinRadioGroup1 = MakeChild<TSkinRadioGroup>(area);
  Place(skinRadioGroup1, 0, 104, 153, 108);
  const auto radio = [this](const char* caption, int top) {
    auto* rb = MakeChild<TSkinRadioButton>(skinRadioGroup1, QString::fromUtf8(caption));
    rb->move(8, top);
    rb->resize(rb->sizeHint());
    return rb;
  };
  TCN_RB = radio("Channels", 12);
  LOGO_RB = radio("Logo", 36);
  DAT_RB = radio("Data", 60);
  NET_RB = radio("NET Config", 84);

  SpeedButton1 = MakeChild<TSpeedButton>(area);
  Place(SpeedButton1, 0, 216, 153, 48);
  SpeedButton1->SetCaption(QStringLiteral(" Connect"));
  SpeedButton1->SetGlyph(TBitmap(SpeedButton1Glyph));

  SpeedButton2 = MakeChild<TSpeedButton>(area);
  Place(SpeedButton2, 0, 264, 153, 48);
  SpeedButton2->SetCaption(QStringLiteral(" Receive"));
  SpeedButton2->SetGlyph(TBitmap(SpeedButton2Glyph));

  Memo1 = MakeChild<TSkinMemo>(area);
  Place(Memo1, 155, 109, 321, 203);

  ProgressBar1 = MakeChild<TSkinProgressBar>(area);
  Place(ProgressBar1, 0, 318, 476, 27);

  skinURLLabel1 = MakeChild<TSkinURLLabel>(area, title.left(title.indexOf(u" V")));
  Place(skinURLLabel1, 96, 344, 291, 37);

  connect(SpeedButton1, &QAbstractButton::clicked, this,
          [this] { RunCommand(&TForm1::SpeedButton1Click, SpeedButton1); });
  connect(SpeedButton2, &QAbstractButton::clicked, this,
          [this] { RunCommand(&TForm1::SpeedButton2Click, SpeedButton2); });

  RivuComPort1.SetBaud(115200);
  RivuComPort1.SetInSize(16384);
  RivuComPort1.SetOutSize(16384);
  RivuComPort1.SetRTS(false);
  RivuComPort1.SetTraceName("RIVU.TRC");
  RivuComPort1.SetTraceHex(false);
  RivuComPort1.SetLogName("RIVU.LOG");

  move(FirstPosition(client));
}

TForm1::~TForm1() {
  EndTask();
}

void TForm1::ShowException(const QString& message) {
  ShowErrorBox(message, this);
}

void TForm1::RunCommand(void (TForm1::*command)(QObject*), QObject* sender) {
  try {
    (this->*command)(sender);
  } catch (const std::exception& e) {
    ShowException(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowException(QString());
  }
}
