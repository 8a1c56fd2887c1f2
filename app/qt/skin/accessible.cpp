#include "app/qt/skin/accessible.h"

#include <QAccessibleWidget>
#include <memory>

#include "app/qt/skin/image_panel.h"
#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"
#include "app/qt/skin/title_bar.h"
#include "app/qt/skin/url_label.h"

namespace {

// A control that only needs its role said.
class TRoleWidget : public QAccessibleWidget {
 public:
  using QAccessibleWidget::QAccessibleWidget;
};

// A control with a fixed role whose name is a text it draws itself.
template <class TWidget>
class TNamedWidget : public QAccessibleWidget {
 public:
  TNamedWidget(TWidget* Widget, QAccessible::Role Role, QString (TWidget::*Caption)() const)
      : QAccessibleWidget(Widget, Role), caption_(Caption) {}

  QString text(QAccessible::Text T) const override {
    if (T == QAccessible::Name && widget()->accessibleName().isEmpty() && caption_)
      return (static_cast<const TWidget*>(widget())->*caption_)();
    return QAccessibleWidget::text(T);
  }

 private:
  QString (TWidget::*caption_)() const;
};

class TLinkAccessible : public TNamedWidget<TSkinURLLabel> {
 public:
  explicit TLinkAccessible(TSkinURLLabel* Label)
      : TNamedWidget(Label, QAccessible::Link, &TSkinURLLabel::Caption) {}

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.linked = true;
    return s;
  }
};

// The bar never clamps its position, so the value is the position as stored.
class TProgressAccessible : public TNamedWidget<TSkinProgressBar>,
                            public QAccessibleValueInterface {
 public:
  explicit TProgressAccessible(TSkinProgressBar* Bar)
      : TNamedWidget(Bar, QAccessible::ProgressBar, &TSkinProgressBar::Caption) {}

  void* interface_cast(QAccessible::InterfaceType Type) override {
    if (Type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(Type);
  }
  QString text(QAccessible::Text T) const override {
    if (T == QAccessible::Value || T == QAccessible::Description) return Bar()->Caption();
    return TNamedWidget::text(T);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    return s;
  }

  QVariant currentValue() const override { return Bar()->Position(); }
  void setCurrentValue(const QVariant&) override {}  // shows progress, takes none
  QVariant maximumValue() const override { return Bar()->Max(); }
  QVariant minimumValue() const override { return Bar()->Min(); }
  QVariant minimumStepSize() const override { return 0; }

 private:
  const TSkinProgressBar* Bar() const { return static_cast<const TSkinProgressBar*>(widget()); }
};

// Qt's accessibility cache owns what a factory returns and deletes it with
// the object it stands for.
template <class TInterface, class... TArgs>
QAccessibleInterface* HandOver(TArgs... Args) {
  return std::make_unique<TInterface>(Args...).release();
}

}  // namespace

QAccessibleInterface* SkinAccessibleFactory(const QString& ClassName, QObject* Object) {
  if (ClassName == QLatin1String("TSkinProgressBar"))
    return HandOver<TProgressAccessible>(qobject_cast<TSkinProgressBar*>(Object));
  if (ClassName == QLatin1String("TSkinURLLabel"))
    return HandOver<TLinkAccessible>(qobject_cast<TSkinURLLabel*>(Object));
  if (ClassName == QLatin1String("TSkinTitleBar"))
    return HandOver<TNamedWidget<TSkinTitleBar>>(qobject_cast<TSkinTitleBar*>(Object),
                                                 QAccessible::TitleBar, &TSkinTitleBar::Title);
  if (ClassName == QLatin1String("TSkinImagePanel"))
    return HandOver<TRoleWidget>(qobject_cast<QWidget*>(Object), QAccessible::Graphic);
  // A plain widget as a top-level window (the frameless main window) is a
  // window, not a pane inside one.
  if (ClassName == QLatin1String("QWidget") && Object->isWidgetType() &&
      static_cast<QWidget*>(Object)->isWindow())
    return HandOver<TRoleWidget>(static_cast<QWidget*>(Object), QAccessible::Window);
  if (ClassName == QLatin1String("TSkinRadioGroup"))
    return HandOver<TRoleWidget>(qobject_cast<QWidget*>(Object), QAccessible::Grouping);
  return nullptr;
}

void InstallSkinAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(SkinAccessibleFactory);
    return true;
  }();
  (void)installed;
}
