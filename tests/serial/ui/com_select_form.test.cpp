#include "serial/ui/com_select_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QListView>
#include <QScreen>
#include <QTimer>
#include <cerrno>
#include <functional>

#include "serial/ports/port_avail.h"
#include "tests/serial/port_scratch.h"

namespace {

using port_scratch::THeld;
using port_scratch::TPty;
using port_scratch::TScratch;

QStringList Entries(const TComSelectForm& Form) {
  QStringList out;
  for (int i = 0; i < Form.PortsComboBox.count(); ++i) out << Form.PortsComboBox.itemText(i);
  return out;
}

void PressKey(QWidget* Target, int Key) {
  QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier);
  QApplication::sendEvent(Target, &press);
}

// Shows the form modally and runs Act once it is up; returns the result.
TModalResult RunModal(TComSelectForm& Form, std::function<void()> Act) {
  QTimer::singleShot(0, &Form, std::move(Act));
  return Form.ShowModal();
}

class ComSelectForm : public ::testing::Test {
 protected:
  void SetUp() override { SetPortMapConfig(scratch_.Config()); }
  void TearDown() override {
    ShowPortsInUse = true;
    UseDispatcherForAvail = true;
    DispatcherPortProbe = nullptr;
    ResetPortMapConfig();
  }

  TScratch scratch_;
};

TEST_F(ComSelectForm, ListsFreeAndHeldPortsWithTheFirstSelected) {
  TPty one, three, five;
  scratch_.Link("com1", one.Path());
  scratch_.Link("com3", three.Path());
  scratch_.Link("com5", five.Path());
  THeld other(five.Path());

  TComSelectForm form;
  EXPECT_EQ(Entries(form), (QStringList{"COM1", "COM3", "COM5"}));
  EXPECT_EQ(form.PortsComboBox.currentIndex(), 0);
  EXPECT_EQ(form.SelectedCom(), "COM1");
  EXPECT_EQ(form.SelectedComNum(), 1);
  EXPECT_EQ(form.DeviceLabel.text().toStdString(), one.Path());
  EXPECT_EQ(form.PortsComboBox.itemData(2, Qt::ToolTipRole).toString().toStdString(),
            five.Path() + ", held by " + program_invocation_short_name + " (pid " +
                std::to_string(::getpid()) + ")");

  form.PortsComboBox.setCurrentIndex(1);
  EXPECT_EQ(form.DeviceLabel.text().toStdString(), three.Path());

  ShowPortsInUse = false;
  TComSelectForm strict;
  EXPECT_EQ(Entries(strict), (QStringList{"COM1", "COM3"}));
}

TEST_F(ComSelectForm, ButtonsAndCloseGiveTheirResults) {
  TPty line;
  scratch_.Link("com2", line.Path());
  {
    TComSelectForm form;
    EXPECT_EQ(RunModal(form, [&] { form.OkBtn.click(); }), mrOk);
    EXPECT_EQ(form.SelectedComNum(), 2);
  }
  {
    TComSelectForm form;
    EXPECT_EQ(RunModal(form, [&] { form.AbortBtn.click(); }), mrAbort);
  }
  {
    TComSelectForm form;
    EXPECT_EQ(RunModal(form, [&] { form.close(); }), mrCancel);
  }
  {
    // Escape answers nothing; Enter on the list presses the default button.
    TComSelectForm form;
    bool stillOpen = false;
    EXPECT_EQ(RunModal(form,
                       [&] {
                         PressKey(&form.OkBtn, Qt::Key_Escape);
                         PressKey(&form, Qt::Key_Escape);
                         stillOpen = form.isVisible() && form.result() == mrNone;
                         PressKey(&form.PortsComboBox, Qt::Key_Return);
                       }),
              mrOk);
    EXPECT_TRUE(stillOpen);
  }
}

TEST_F(ComSelectForm, EmptyListAndOkGiveTheConversionError) {
  TComSelectForm form;
  EXPECT_EQ(form.PortsComboBox.count(), 0);
  EXPECT_EQ(form.DeviceLabel.text(), "No serial port found.");
  EXPECT_EQ(RunModal(form, [&] { form.OkBtn.click(); }), mrOk);
  EXPECT_EQ(form.SelectedCom(), "");
  try {
    form.SelectedComNum();
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
}

TEST_F(ComSelectForm, RefusedPermissionIsExplainedNotListed) {
  scratch_.Link("com4", scratch_.AddDevice("ttyUSB0"));
  DispatcherPortProbe = [](const std::string&) { return TProbeResult::prAccessDenied; };
  TComSelectForm form;
  EXPECT_EQ(form.PortsComboBox.count(), 0);
  EXPECT_TRUE(form.DeviceLabel.text().startsWith("No permission to open"));
  // A plain file of mode 0644: no group may write it, so a rule is advised.
  EXPECT_TRUE(form.DeviceLabel.toolTip().contains("GROUP=\"dialout\", MODE=\"0660\""))
      << form.DeviceLabel.toolTip().toStdString();
}

TEST_F(ComSelectForm, TwoDigitNumbers) {
  TPty one, twelve;
  scratch_.Link("com1", one.Path());
  scratch_.Link("com12", twelve.Path());
  TComSelectForm form;
  ASSERT_EQ(Entries(form), (QStringList{"COM1", "COM12"}));
  form.PortsComboBox.setCurrentIndex(1);
  EXPECT_EQ(form.SelectedComNum(), 12);
  EXPECT_EQ(form.SelectedCom(), "COM12");
}

TEST_F(ComSelectForm, LayoutTextsAndFocusOrder) {
  TPty line;
  scratch_.Link("com1", line.Path());
  TComSelectForm form;
  EXPECT_EQ(form.windowTitle(), "Select Port");
  EXPECT_EQ(form.size(), QSize(220, 131));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                     Qt::WindowContextHelpButtonHint));
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_EQ(form.font().family(), "MS Sans Serif");

  struct Row {
    const QWidget* Widget;
    QRect Geometry;
    QString Text;
  };
  const Row rows[] = {
      {&form.Label1, {18, 14, 176, 13}, "The configured serial port is not valid."},
      {&form.Label2, {18, 30, 133, 13}, "Please choose another port."},
      {&form.Bevel1, {8, 8, 201, 42}, ""},
      {&form.PortsComboBox, {8, 64, 201, 21}, ""},
      {&form.OkBtn, {8, 95, 85, 27}, "OK"},
      {&form.AbortBtn, {124, 95, 85, 27}, "Cancel"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.Widget->geometry(), r.Geometry) << r.Widget->objectName().toStdString();
    if (auto* label = qobject_cast<const QLabel*>(r.Widget)) {
      EXPECT_EQ(label->text(), r.Text);
    } else if (auto* button = qobject_cast<const QPushButton*>(r.Widget)) {
      EXPECT_EQ(button->text(), r.Text);
    }
  }
  for (const QLabel* label : {&form.Label1, &form.Label2})  // a wider substitute face still fits
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
  EXPECT_EQ(form.Bevel1.frameShadow(), QFrame::Sunken);
  EXPECT_FALSE(form.PortsComboBox.isEditable());
  EXPECT_TRUE(form.OkBtn.isDefault());
  EXPECT_FALSE(form.AbortBtn.isDefault());
  EXPECT_EQ(form.PortsComboBox.view()->sizeHintForRow(0), 13);

  form.show();
  form.activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), &form.OkBtn);
  const QWidget* order[] = {&form.AbortBtn, &form.PortsComboBox, &form.OkBtn};
  for (const QWidget* next : order) {
    PressKey(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
  const QRect screen = form.screen()->availableGeometry();
  EXPECT_LE((form.frameGeometry().center() - screen.center()).manhattanLength(), 2);
  form.close();
}

TEST(StrToInt, DecimalOrTheConversionError) {
  EXPECT_EQ(StrToInt("12"), 12);
  EXPECT_EQ(StrToInt(" 7"), 7);
  EXPECT_EQ(StrToInt("+3"), 3);
  EXPECT_EQ(StrToInt("-4"), -4);
  for (const char* bad : {"", " ", "x", "12a", "1 ", "99999999999", "+", "0x1"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
    }
  }
}

}  // namespace

// The widgets need an application object for the whole run, made before any
// test and gone before static destruction.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
