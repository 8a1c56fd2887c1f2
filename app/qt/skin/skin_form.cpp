#include "app/qt/skin/skin_form.h"

#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <memory>

#include "app/accessible_names.h"
#include "app/qt/skin/child.h"
#include "app/qt/skin/theme.h"
#include "app/qt/skin/title_bar.h"

namespace {

// Drawn above every control, lets the mouse through.
class TBorder : public QWidget {
 public:
  TBorder() { setAttribute(Qt::WA_TransparentForMouseEvents); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    TSkinTheme::PaintBorder(p, rect());
  }
};

}  // namespace

TSkinForm::TSkinForm(const QString& title, QSize design, QWidget* parent)
    : QWidget(parent), design_(design) {
  titleBar_ = MakeChild<TSkinTitleBar>(this, title);
  client_ = MakeChild<QWidget>(this);
  border_ = MakeChild<TBorder>(this);
  resize(design);
  Relayout();

  connect(titleBar_, &TSkinTitleBar::MenuRequested, this, &TSkinForm::ShowWindowMenu);
  connect(titleBar_, &TSkinTitleBar::MinimizeRequested, this,
          [this] { window()->showMinimized(); });
  connect(titleBar_, &TSkinTitleBar::MaximizeRequested, this, &TSkinForm::ToggleMaximized);
  connect(titleBar_, &TSkinTitleBar::CloseRequested, this, [this] { window()->close(); });
  // Owned by this widget.
  auto* menuKey =
      std::make_unique<QShortcut>(QKeySequence(QStringLiteral("Alt+Space")), this).release();
  menuKey->setContext(Qt::WindowShortcut);
  connect(menuKey, &QShortcut::activated, this, [this] {
    ShowWindowMenu(
        titleBar_->MenuButton()->mapToGlobal(QPoint(0, titleBar_->MenuButton()->height())));
  });
}

void TSkinForm::ShowWindowMenu(QPoint globalPos) {
  QWidget* w = window();
  const bool maximized = w->isMaximized();
  QMenu menu(this);
  using AccessibleNames::TWindowCommand;
  for (const auto& c : AccessibleNames::WindowCommands) {
    if (c.Command == TWindowCommand::Close) menu.addSeparator();
    QAction* action = menu.addAction(QString::fromUtf8(c.MenuCaption));
    if (*c.Shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(c.Shortcut)));
    switch (c.Command) {
      case TWindowCommand::Restore:
        action->setEnabled(maximized);
        connect(action, &QAction::triggered, this, &TSkinForm::ToggleMaximized);
        break;
      case TWindowCommand::Minimize:
        connect(action, &QAction::triggered, w, &QWidget::showMinimized);
        break;
      case TWindowCommand::Maximize:
        action->setEnabled(!maximized);
        connect(action, &QAction::triggered, this, &TSkinForm::ToggleMaximized);
        break;
      case TWindowCommand::Close:
        connect(action, &QAction::triggered, w, &QWidget::close);
        break;
    }
  }
  menu.exec(globalPos);
}

void TSkinForm::ToggleMaximized() {
  QWidget* w = window();
  if (w->isMaximized()) {
    w->showNormal();
    w->setFixedSize(design_);
  } else {
    // The frame is fixed-size; lift the limit only for the maximised state.
    w->setMinimumSize(design_);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->showMaximized();
  }
}

void TSkinForm::resizeEvent(QResizeEvent*) {
  Relayout();
}

void TSkinForm::Relayout() {
  const int titleHeight = TSkinTitleBar::kHeight;
  titleBar_->setGeometry(0, 0, width(), titleHeight);
  titleBar_->SetMaximized(window()->isMaximized());
  const QSize area(design_.width(), design_.height() - titleHeight);
  const int x = std::max(0, (width() - area.width()) / 2);
  const int y = titleHeight + std::max(0, (height() - design_.height()) / 2);
  client_->setGeometry(x, y, area.width(), area.height());
  border_->setGeometry(rect());
  border_->raise();
}

void TSkinForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  TSkinTheme::PaintWindow(p, rect());
}
