// The main window as a screen reader reads it: every control's role and name
// in reading order, the states that change, the progress bar's value and the
// path of the Tab key.
#include <QAccessible>
#include <QKeyEvent>
#include <vector>

#include "app/qt/skin/memo.h"
#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"
#include "app/qt/skin/speed_button.h"
#include "tests/app/window_fixture.h"

namespace {

using namespace window_test;

struct TRow {
  QAccessible::Role Role;
  QString Name;
  bool operator==(const TRow&) const = default;
};

void PrintTo(const TRow& R, std::ostream* Os) {
  *Os << "{" << R.Role << ", \"" << R.Name.toStdString() << "\"}";
}

// Depth first, in the order the children are given; plain unnamed containers
// (the frame, the client area, the border) add nothing a reader says.
void Walk(QAccessibleInterface* I, std::vector<TRow>& Rows) {
  const TRow row{I->role(), I->text(QAccessible::Name)};
  if (row.Role != QAccessible::Client || !row.Name.isEmpty()) Rows.push_back(row);
  for (int i = 0; i < I->childCount(); ++i) Walk(I->child(i), Rows);
}

QAccessibleInterface* Of(QObject* O) {
  return QAccessible::queryAccessibleInterface(O);
}

class AccessibleTest : public WindowTest {
 protected:
  // The name of what has the focus after one press of Tab (Shift+Tab).
  QString Tab(bool Back = false) {
    QWidget* from = QApplication::focusWidget();
    QKeyEvent press(QEvent::KeyPress, Back ? Qt::Key_Backtab : Qt::Key_Tab,
                    Back ? Qt::ShiftModifier : Qt::NoModifier);
    QApplication::sendEvent(from ? from : &Form(), &press);
    QWidget* to = QApplication::focusWidget();
    if (!to) return "(none)";
    QAccessibleInterface* i = Of(to);
    if (!i->state().focused) return "(not focused: " + i->text(QAccessible::Name) + ")";
    return i->role() == QAccessible::EditableText ? "(log)" : i->text(QAccessible::Name);
  }
};

TEST_F(AccessibleTest, TheTreeNamesEveryControlInReadingOrder) {
  using R = QAccessible::Role;
  const std::vector<TRow> want = {
      {R::Window, "TAVO Zedazi V1.30"},
      {R::TitleBar, "TAVO Zedazi V1.30"},
      {R::Button, "Window menu"},
      {R::Button, "Minimize"},
      {R::Button, "Maximize"},
      {R::Button, "Close"},
      {R::Graphic, ""},
      {R::Grouping, ""},
      {R::RadioButton, "Channels"},
      {R::RadioButton, "Logo"},
      {R::RadioButton, "Data"},
      {R::RadioButton, "NET Config"},
      {R::Button, "Connect"},
      {R::Button, "Receive"},
      {R::EditableText, ""},
      {R::ProgressBar, "0%"},
      {R::Link, "TAVO Zedazi"},
  };
  std::vector<TRow> got;
  Walk(Of(&Form()), got);
  // The log area's scroll bar and its parts follow the log.
  std::erase_if(got, [](const TRow& r) {
    return r.Role == R::ScrollBar || r.Name == "Line up" || r.Name == "Line down" ||
           r.Name == "Page up" || r.Name == "Page down" || r.Name == "Position";
  });
  EXPECT_EQ(got, want);
}

TEST_F(AccessibleTest, StatesFollowTheControls) {
  Form().LOGO_RB->click();
  for (auto* rb : {Form().TCN_RB, Form().LOGO_RB, Form().DAT_RB, Form().NET_RB})
    EXPECT_EQ(Of(rb)->state().checked, rb == Form().LOGO_RB) << rb->text().toStdString();

  auto* memo = Of(Form().Memo1);
  Form().Memo1->AddLine("Port opened");
  EXPECT_TRUE(memo->state().readOnly);
  EXPECT_EQ(memo->text(QAccessible::Value), "Port opened");

  Form().SpeedButton2->setEnabled(false);
  EXPECT_TRUE(Of(Form().SpeedButton2)->state().disabled);
}

TEST_F(AccessibleTest, TheProgressBarGivesItsValueAndCaption) {
  TSkinProgressBar& bar = *Form().ProgressBar1;
  struct {
    int Min, Max, Position;
    const char* Caption;
  } const cases[] = {
      {0, 100, 0, "0%"}, {0, 3, 1, "33%"}, {10, 20, 20, "100%"}, {0, 10, 15, "150%"}};
  for (const auto& c : cases) {
    bar.SetMin(c.Min);
    bar.SetMax(c.Max);
    bar.SetPosition(c.Position);
    QAccessibleInterface* i = Of(&bar);
    ASSERT_NE(i->valueInterface(), nullptr);
    EXPECT_EQ(i->valueInterface()->currentValue().toInt(), c.Position);
    EXPECT_EQ(i->valueInterface()->minimumValue().toInt(), c.Min);
    EXPECT_EQ(i->valueInterface()->maximumValue().toInt(), c.Max);
    for (auto t : {QAccessible::Name, QAccessible::Value, QAccessible::Description})
      EXPECT_EQ(i->text(t), c.Caption) << t;
  }
}

TEST_F(AccessibleTest, ConnectIsRenamedWhenItsCaptionChanges) {
  QAccessibleInterface* button = Of(Form().SpeedButton1);
  EXPECT_EQ(button->text(QAccessible::Name), "Connect");
  Form().SpeedButton1->click();  // the port opens: the caption says " DisCnct"
  ASSERT_TRUE(WaitFor([&] { return button->text(QAccessible::Name) == "DisCnct"; }))
      << button->text(QAccessible::Name).toStdString();
  Form().SpeedButton1->click();
  EXPECT_TRUE(WaitFor([&] { return button->text(QAccessible::Name) == "Connect"; }));
}

TEST_F(AccessibleTest, TabFollowsTheReadingOrder) {
  Form().show();
  Form().activateWindow();
  ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &Form(); }));
  Form().setFocus();
  // The content types are one stop: the first while none is chosen.
  QStringList got;
  for (int i = 0; i < 5; ++i) got << Tab();
  EXPECT_EQ(got, QStringList({"Channels", "Connect", "Receive", "(log)", "Channels"}));

  // The arrow keys move within the group, Space chooses; the chosen one is
  // the stop, both ways.
  auto key = [](QEvent::Type Type, int Key) {
    QKeyEvent e(Type, Key, Qt::NoModifier, Key == Qt::Key_Space ? " " : "");
    QApplication::sendEvent(QApplication::focusWidget(), &e);
  };
  key(QEvent::KeyPress, Qt::Key_Down);
  key(QEvent::KeyPress, Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), Form().DAT_RB);
  key(QEvent::KeyPress, Qt::Key_Space);
  key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_TRUE(Form().DAT_RB->Checked());
  got.clear();
  for (int i = 0; i < 4; ++i) got << Tab();
  for (int i = 0; i < 4; ++i) got << Tab(true);
  EXPECT_EQ(got, QStringList({"Connect", "Receive", "(log)", "Data", "(log)", "Receive", "Connect",
                              "Data"}));
}

}  // namespace
