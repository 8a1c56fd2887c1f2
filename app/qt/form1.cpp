#include "app/qt/form1.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <exception>

#include "app/application.h"
#include "app/graphics/bitmap.h"
#include "app/graphics/glyph_data.h"
#include "app/qt/error_box.h"
#include "app/qt/skin/accessible.h"
#include "app/qt/skin/child.h"
#include "app/qt/skin/image_panel.h"
#include "app/qt/skin/memo.h"
#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"
#include "app/qt/skin/skin_form.h"
#include "app/qt/skin/speed_button.h"
#include "app/qt/skin/title_bar.h"
#include "app/qt/skin/url_label.h"
#include "app/qt/window_view.h"

namespace {

// Places a control by its client coordinates of the main window.
void Place(QWidget* control, Form1Layout::TRect r) {
  control->setGeometry(r.Left, r.Top - TSkinTitleBar::kHeight, r.Width, r.Height);
}

// The first position, moved in only as far as needed to keep the window on a
// screen smaller than the one it was laid out for.
QPoint FirstPosition(QSize size) {
  const QPoint first(Form1Layout::FirstLeft, Form1Layout::FirstTop);
  const QScreen* screen = QGuiApplication::screenAt(first);
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return first;
  const QRect a = screen->availableGeometry();
  const auto p = Form1Layout::FirstPosition(size.width(), size.height(),
                                            {a.left(), a.top(), a.width(), a.height()});
  return {p.X, p.Y};
}

QString FromUtf8(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      view_(std::make_unique<TWindowView>(*this, [this] { commands_->TaskEnded(); })),
      commands_(std::make_unique<TForm1Commands>(static_cast<TForm1Controls&>(*this), RivuComPort1,
                                                 *view_)) {
  InstallSkinAccessibility();
  const QString title = QString::fromUtf8(ApplicationTitle);
  setWindowTitle(title);
  setWindowIcon(QIcon(QPixmap::fromImage(GlyphImage(TBitmap(ApplicationIcon), true))));
  const QSize client(kClientWidth, kClientHeight);
  setFixedSize(client);

  skinForm1 = MakeChild<TSkinForm>(this, title, client, this);
  QWidget* area = skinForm1->Client();

  skinImagePanel1 = MakeChild<TSkinImagePanel>(area);
  Place(skinImagePanel1, Form1Layout::Banner);
  skinImagePanel1->SetPicture(TSkinTheme::Banner());

  skinRadioGroup1 = MakeChild<TSkinRadioGroup>(area);
  Place(skinRadioGroup1, Form1Layout::RadioGroup);
  TSkinRadioButton** radios[] = {&TCN_RB, &LOGO_RB, &DAT_RB, &NET_RB};
  for (std::size_t i = 0; i < std::size(radios); ++i) {
    auto* rb =
        MakeChild<TSkinRadioButton>(skinRadioGroup1, FromUtf8(Form1Layout::Radios[i].Caption));
    rb->move(Form1Layout::RadioLeft, Form1Layout::Radios[i].Top);
    rb->resize(rb->sizeHint());
    *radios[i] = rb;
  }

  SpeedButton1 = MakeChild<TSpeedButton>(area);
  Place(SpeedButton1, Form1Layout::SpeedButton1);
  SpeedButton1->SetCaption(FromUtf8(Form1Layout::ConnectCaption));
  SpeedButton1->SetGlyph(TBitmap(SpeedButton1Glyph));

  SpeedButton2 = MakeChild<TSpeedButton>(area);
  Place(SpeedButton2, Form1Layout::SpeedButton2);
  SpeedButton2->SetCaption(FromUtf8(Form1Layout::ReceiveCaption));
  SpeedButton2->SetGlyph(TBitmap(SpeedButton2Glyph));

  Memo1 = MakeChild<TSkinMemo>(area);
  Place(Memo1, Form1Layout::Memo1);

  ProgressBar1 = MakeChild<TSkinProgressBar>(area);
  Place(ProgressBar1, Form1Layout::ProgressBar1);

  skinURLLabel1 = MakeChild<TSkinURLLabel>(area, FromUtf8(Form1Layout::LinkCaption));
  skinURLLabel1->SetURL(FromUtf8(Form1Layout::LinkTarget));
  Place(skinURLLabel1, Form1Layout::URLLabel1);

  // Tab follows the reading order: the content type, Connect, Receive, the
  // log. Once a type is chosen, its radio button stands for the group and the
  // arrow keys move within it. The title bar's commands are in the window menu
  // (Alt+Space).
  QWidget* order[] = {TCN_RB, LOGO_RB, DAT_RB, NET_RB, SpeedButton1, SpeedButton2, Memo1};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(SpeedButton1, &QAbstractButton::clicked, this,
          [this] { RunCommand(&TForm1::SpeedButton1Click, SpeedButton1); });
  connect(SpeedButton2, &QAbstractButton::clicked, this,
          [this] { RunCommand(&TForm1::SpeedButton2Click, SpeedButton2); });

  commands_->InitPort();

  move(FirstPosition(client));
}

TForm1::~TForm1() {
  commands_->EndTask();
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
