#include "app/qt/skin/title_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <span>

#include "app/accessible_names.h"
#include "app/form1_layout.h"
#include "app/graphics/bitmap.h"
#include "app/graphics/glyph_data.h"
#include "app/qt/skin/child.h"
#include "app/qt/skin/speed_button.h"

namespace {

constexpr int kRightMargin = Form1Layout::TitleRightMargin;
constexpr int kButtonGap = Form1Layout::TitleButtonGap;
constexpr int kIconLeft = Form1Layout::TitleIconLeft;
constexpr int kTitleLeft = Form1Layout::TitleTextLeft;

QString Tip(TTitleButtonKind kind) {
  using AccessibleNames::Name;
  using AccessibleNames::TWindowCommand;
  switch (kind) {
    case TTitleButtonKind::Menu:
      return QString::fromUtf8(AccessibleNames::WindowMenu);
    case TTitleButtonKind::Close:
      return QString::fromUtf8(Name(TWindowCommand::Close));
    case TTitleButtonKind::Maximize:
      return QString::fromUtf8(Name(TWindowCommand::Maximize));
    case TTitleButtonKind::Restore:
      return QString::fromUtf8(Name(TWindowCommand::Restore));
    case TTitleButtonKind::Minimize:
      return QString::fromUtf8(Name(TWindowCommand::Minimize));
  }
  return {};
}

}  // namespace

TTitleButton::TTitleButton(TTitleButtonKind kind, QWidget* parent) : QAbstractButton(parent) {
  setFixedSize(kSize, kSize);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
  SetKind(kind);
}

void TTitleButton::SetKind(TTitleButtonKind kind) {
  kind_ = kind;
  pictures_ = {TSkinTheme::TitleButton(kind, TSkinState::Normal),
               TSkinTheme::TitleButton(kind, TSkinState::Hover),
               TSkinTheme::TitleButton(kind, TSkinState::Pressed)};
  setToolTip(Tip(kind));
  setAccessibleName(Tip(kind));
  update();
}

void TTitleButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int index = isDown() ? 2 : underMouse() ? 1 : 0;
  p.drawPixmap(0, 0, pictures_[index]);
}

TSkinTitleBar::TSkinTitleBar(const QString& title, QWidget* parent)
    : QWidget(parent),
      title_(title),
      left_(TSkinTheme::TitleLeft()),
      middle_(TSkinTheme::TitleMiddle()),
      right_(TSkinTheme::TitleRight()) {
  setFixedHeight(kHeight);
  setFont(TSkinTheme::TitleFont());
  icon_ = GlyphImage(TBitmap(ApplicationIcon), true);
  const TTitleButtonKind kinds[] = {TTitleButtonKind::Menu, TTitleButtonKind::Minimize,
                                    TTitleButtonKind::Maximize, TTitleButtonKind::Close};
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    buttons_[i] = MakeChild<TTitleButton>(this, kinds[i]);
  connect(MenuButton(), &QAbstractButton::clicked, this, [this] {
    emit MenuRequested(MenuButton()->mapToGlobal(QPoint(0, TTitleButton::kSize)));
  });
  connect(MinimizeButton(), &QAbstractButton::clicked, this, &TSkinTitleBar::MinimizeRequested);
  connect(MaximizeButton(), &QAbstractButton::clicked, this, &TSkinTitleBar::MaximizeRequested);
  connect(CloseButton(), &QAbstractButton::clicked, this, &TSkinTitleBar::CloseRequested);
  PlaceButtons();
}

void TSkinTitleBar::SetMaximized(bool maximized) {
  maximized_ = maximized;
  MaximizeButton()->SetKind(maximized ? TTitleButtonKind::Restore : TTitleButtonKind::Maximize);
}

void TSkinTitleBar::resizeEvent(QResizeEvent*) {
  PlaceButtons();
}

void TSkinTitleBar::PlaceButtons() {
  // Right to left: close, maximise, minimise, window menu.
  int x = width() - kRightMargin - TTitleButton::kSize;
  for (auto it = buttons_.rbegin(); it != buttons_.rend(); ++it) {
    (*it)->move(x, kButtonTop);
    x -= TTitleButton::kSize + kButtonGap;
  }
}

void TSkinTitleBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  // Left and right at their own sizes, the middle stretched over what is between;
  // at the window's normal width the two outer pictures meet and overlap.
  const int gap = w - left_.width() - right_.width();
  p.drawPixmap(0, 0, left_);
  if (gap > 0) p.drawPixmap(QRect(left_.width(), 0, gap, kHeight), middle_);
  p.drawPixmap(w - right_.width(), 0, right_);

  const int mid = kButtonTop + TTitleButton::kSize / 2;
  p.drawImage(kIconLeft, mid - icon_.height() / 2, icon_);
  p.setFont(font());
  p.setPen(TSkinTheme::Accent());
  const int textRight = MenuButton()->x() - 8;
  p.drawText(QRect(kTitleLeft, kButtonTop, textRight - kTitleLeft, TTitleButton::kSize),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);
}

void TSkinTitleBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || maximized_) return QWidget::mousePressEvent(event);
  QWindow* handle = window()->windowHandle();
  if (handle && handle->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void TSkinTitleBar::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton))
    window()->move(event->globalPosition().toPoint() - dragOffset_);
  QWidget::mouseMoveEvent(event);
}

void TSkinTitleBar::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void TSkinTitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
  dragging_ = false;
  if (event->button() == Qt::LeftButton) emit MaximizeRequested();
}
