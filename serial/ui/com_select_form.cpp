#include "serial/ui/com_select_form.h"

#include <QKeyEvent>
#include <QListView>
#include <QScreen>

#include "serial/ports/port_choices.h"
#include "serial/ports/port_dialog_layout.h"

namespace {

using namespace PortDialogLayout;

const QString kLabel1Text = QString::fromUtf8(Label1Text);

void Place(QWidget& Widget, TRect R) {
  Widget.setGeometry(R.Left, R.Top, R.Width, R.Height);
}

// The dialog's own face; fontconfig substitutes the closest installed one. The
// layout is measured for that face's narrow letters, so a wider substitute is
// narrowed until the longest text fits its place.
QFont DialogFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(FontPixels);
  for (int stretch = 100; stretch > 70; --stretch) {
    font.setStretch(stretch);
    if (QFontMetrics(font).horizontalAdvance(kLabel1Text) <= Label1.Width) break;
  }
  return font;
}

// Widest popup worth showing; longer device names are elided in the middle.
constexpr int kMaxPopupWidth = 480;

}  // namespace

TComSelectForm::TComSelectForm(QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      Bevel1(this),
      Label1(kLabel1Text, this),
      Label2(QString::fromUtf8(Label2Text), this),
      DeviceLabel(this),
      PortsDelegate(this),
      PortsComboBox(this),
      OkBtn(QString::fromUtf8(OkText), this),
      AbortBtn(QString::fromUtf8(CancelText), this) {
  setObjectName(QStringLiteral("ComSelectForm"));
  setWindowTitle(QString::fromUtf8(Caption));
  setFixedSize(ClientWidth, ClientHeight);
  setFont(DialogFont());
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    pal.setColor(role, Qt::black);
  setPalette(pal);
  setAutoFillBackground(true);

  Bevel1.setObjectName(QStringLiteral("Bevel1"));
  Bevel1.setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Place(Bevel1, PortDialogLayout::Bevel1);
  Label1.setObjectName(QStringLiteral("Label1"));
  Place(Label1, PortDialogLayout::Label1);
  Label2.setObjectName(QStringLiteral("Label2"));
  Place(Label2, PortDialogLayout::Label2);

  // The one free strip between the bevel and the list.
  DeviceLabel.setObjectName(QStringLiteral("DeviceLabel"));
  Place(DeviceLabel, PortDialogLayout::DeviceLabel);
  QPalette dim = DeviceLabel.palette();
  dim.setColor(QPalette::WindowText, dim.color(QPalette::Disabled, QPalette::Text));
  DeviceLabel.setPalette(dim);

  PortsComboBox.setObjectName(QStringLiteral("PortsComboBox"));
  PortsComboBox.setEditable(false);
  Place(PortsComboBox, PortDialogLayout::PortsComboBox);
  PortsComboBox.setItemDelegate(&PortsDelegate);

  OkBtn.setObjectName(QStringLiteral("OkBtn"));
  Place(OkBtn, PortDialogLayout::OkBtn);
  OkBtn.setDefault(true);
  AbortBtn.setObjectName(QStringLiteral("AbortBtn"));
  Place(AbortBtn, PortDialogLayout::AbortBtn);

  setTabOrder(&OkBtn, &AbortBtn);
  setTabOrder(&AbortBtn, &PortsComboBox);
  OkBtn.setFocus();

  connect(&OkBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(&AbortBtn, &QPushButton::clicked, this, [this] { done(mrAbort); });
  connect(&PortsComboBox, &QComboBox::currentIndexChanged, this, &TComSelectForm::ShowDevice);

  FormCreate();
}

void TComSelectForm::FormCreate() {
  const TPortChoices choices = ListPortChoices();
  for (const TPortChoice& port : choices.Ports) {
    const QString device = QString::fromStdString(port.Device);
    PortsComboBox.addItem(QString::fromStdString(port.Text), port.Number);
    const int row = PortsComboBox.count() - 1;
    PortsComboBox.setItemData(row, device, TPortItemDelegate::DeviceRole);
    PortsComboBox.setItemData(row, device, Qt::ToolTipRole);
  }

  if (PortsComboBox.count() > 0) {
    PortsComboBox.setCurrentIndex(0);
    int widest = 0;
    QStyleOptionViewItem option;
    option.initFrom(PortsComboBox.view());
    for (int row = 0; row < PortsComboBox.count(); ++row)
      widest = std::max(
          widest, PortsDelegate.sizeHint(option, PortsComboBox.model()->index(row, 0)).width());
    PortsComboBox.view()->setMinimumWidth(std::min(widest + 24, kMaxPopupWidth));
  } else {
    DeviceLabel.setText(QString::fromStdString(choices.EmptyText));
    if (!choices.EmptyAdvice.empty())
      DeviceLabel.setToolTip(QString::fromStdString(choices.EmptyAdvice));
  }
  ShowDevice(PortsComboBox.currentIndex());
}

void TComSelectForm::ShowDevice(int Index) {
  if (Index < 0) {
    DeviceLabel.setText(DeviceLabel.fontMetrics().elidedText(DeviceLabel.text(), Qt::ElideRight,
                                                             DeviceLabel.width()));
    return;
  }
  const QString device = PortsComboBox.itemData(Index, TPortItemDelegate::DeviceRole).toString();
  DeviceLabel.setText(
      DeviceLabel.fontMetrics().elidedText(device, Qt::ElideMiddle, DeviceLabel.width()));
  DeviceLabel.setToolTip(device);
}

TModalResult TComSelectForm::ShowModal() {
  return static_cast<TModalResult>(exec());
}

int TComSelectForm::SelectedComNum() const {
  const std::string text = SelectedCom().toStdString();
  return StrToInt(text.size() > 3 ? text.substr(3, 255) : std::string());
}

QString TComSelectForm::SelectedCom() const {
  return PortsComboBox.currentText();
}

void TComSelectForm::reject() {
  done(mrCancel);
}

void TComSelectForm::keyPressEvent(QKeyEvent* Event) {
  // No button answers Escape: the user picks a port, cancels or closes the window.
  if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
    Event->accept();
    return;
  }
  QDialog::keyPressEvent(Event);
}

void TComSelectForm::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (Event->spontaneous()) return;
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}
