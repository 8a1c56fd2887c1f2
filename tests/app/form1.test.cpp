#include "app/qt/form1.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <stdexcept>

#include "app/application.h"
#include "app/graphics/glyph_data.h"
#include "app/qt/skin/image_panel.h"
#include "app/qt/skin/memo.h"
#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"
#include "app/qt/skin/skin_form.h"
#include "app/qt/skin/speed_button.h"
#include "app/qt/skin/title_bar.h"
#include "app/qt/skin/url_label.h"
#include "tests/app/test_app.h"

namespace {

// Records what the commands and the error box would see.
class TestForm : public TForm1 {
 public:
  std::function<void(QObject*)> onConnect, onReceive;
  QStringList shown;

 protected:
  void SpeedButton1Click(QObject* sender) override { onConnect(sender); }
  void SpeedButton2Click(QObject* sender) override { onReceive(sender); }
  void ShowException(const QString& message) override { shown << message; }
};

class Form1Test : public ::testing::Test {
 protected:
  TestForm form;
};

bool SameBytes(const TBitmap& bmp, const std::array<std::uint8_t, 9270>& data) {
  return std::equal(bmp.Bytes().begin(), bmp.Bytes().end(), data.begin(), data.end());
}

TEST_F(Form1Test, StartsIdle) {
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8(ApplicationTitle));
  EXPECT_TRUE(form.Memo1->Lines().isEmpty());
  EXPECT_EQ(form.Memo1->Text(), "");
  EXPECT_EQ(form.ProgressBar1->Caption(), "0%");
  EXPECT_EQ(form.ProgressBar1->Min(), 0);
  EXPECT_EQ(form.ProgressBar1->Max(), 100);
  EXPECT_EQ(form.ProgressBar1->Position(), 0);
  for (auto* rb : {form.TCN_RB, form.LOGO_RB, form.DAT_RB, form.NET_RB})
    EXPECT_FALSE(rb->Checked()) << rb->text().toStdString();
  EXPECT_EQ(form.SpeedButton1->Caption(), " Connect");
  EXPECT_TRUE(SameBytes(form.SpeedButton1->Glyph(), SpeedButton1Glyph));
  EXPECT_EQ(form.SpeedButton2->Caption(), " Receive");
  EXPECT_TRUE(SameBytes(form.SpeedButton2->Glyph(), SpeedButton2Glyph));
  EXPECT_EQ(form.SaveDialog1.Filter, "");
  EXPECT_EQ(form.SaveDialog1.DefaultExt, "");
  EXPECT_TRUE(form.Memo1->isReadOnly());
}

TEST_F(Form1Test, ControlsSitAtTheirPlacesInClientCoordinates) {
  EXPECT_EQ(form.size(), QSize(477, 382));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  const auto placed = [&](QWidget* w) { return QRect(w->mapTo(&form, QPoint(0, 0)), w->size()); };
  const std::pair<QWidget*, QRect> rows[] = {
      {form.skinForm1, {0, 0, 477, 382}},       {form.skinForm1->TitleBar(), {0, 0, 477, 50}},
      {form.skinImagePanel1, {0, 50, 476, 53}}, {form.skinRadioGroup1, {0, 104, 153, 108}},
      {form.SpeedButton1, {0, 216, 153, 48}},   {form.SpeedButton2, {0, 264, 153, 48}},
      {form.Memo1, {155, 109, 321, 203}},       {form.ProgressBar1, {0, 318, 476, 27}},
      {form.skinURLLabel1, {96, 344, 291, 37}},
  };
  for (const auto& [widget, rect] : rows)
    EXPECT_EQ(placed(widget), rect) << widget->metaObject()->className();
  const std::pair<TSkinRadioButton*, QPoint> radios[] = {{form.TCN_RB, {8, 12}},
                                                         {form.LOGO_RB, {8, 36}},
                                                         {form.DAT_RB, {8, 60}},
                                                         {form.NET_RB, {8, 84}}};
  for (const auto& [rb, at] : radios) {
    EXPECT_EQ(rb->parentWidget(), form.skinRadioGroup1);
    EXPECT_EQ(rb->pos(), at);
    EXPECT_GE(rb->width(), rb->fontMetrics().horizontalAdvance(rb->text()));
  }
  for (TTitleButton* b :
       {form.skinForm1->TitleBar()->MenuButton(), form.skinForm1->TitleBar()->MinimizeButton(),
        form.skinForm1->TitleBar()->MaximizeButton(), form.skinForm1->TitleBar()->CloseButton()}) {
    EXPECT_EQ(b->size(), QSize(28, 28));
    EXPECT_EQ(b->y(), 16);
  }
}

TEST_F(Form1Test, ControlsUseTheirFontsAndColours) {
  struct Row {
    QWidget* widget;
    int pixels;
    bool bold;
  };
  const Row rows[] = {{form.SpeedButton1, 19, true},
                      {form.Memo1, 13, true},
                      {form.TCN_RB, 11, false},
                      {form.skinURLLabel1, 32, true},
                      {form.skinForm1->TitleBar(), 11, true}};
  for (const Row& r : rows) {
    EXPECT_EQ(r.widget->font().pixelSize(), r.pixels) << r.widget->metaObject()->className();
    EXPECT_EQ(r.widget->font().bold(), r.bold) << r.widget->metaObject()->className();
  }
  EXPECT_TRUE(form.skinURLLabel1->font().underline());
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(0, 0, 255));
}

TEST_F(Form1Test, RadioButtonsSelectOneAndNeverNone) {
  form.TCN_RB->click();
  EXPECT_TRUE(form.TCN_RB->Checked());
  form.DAT_RB->click();
  EXPECT_TRUE(form.DAT_RB->Checked());
  EXPECT_FALSE(form.TCN_RB->Checked());
  form.DAT_RB->click();  // clicking the selected one changes nothing
  EXPECT_TRUE(form.DAT_RB->Checked());
  for (auto* rb : {form.TCN_RB, form.LOGO_RB, form.NET_RB}) EXPECT_FALSE(rb->Checked());
}

TEST_F(Form1Test, LogAreaClearsSetsAndAddsLines) {
  form.Memo1->AddLine("Waiting for STB...");
  EXPECT_EQ(form.Memo1->Lines(), QStringList{"Waiting for STB..."});
  form.Memo1->SetText("Port opened");
  form.Memo1->AddLine("second");
  EXPECT_EQ(form.Memo1->Lines(), QStringList({"Port opened", "second"}));
  form.Memo1->SetText("Port closed");
  EXPECT_EQ(form.Memo1->Text(), "Port closed");
  form.Memo1->Clear();
  EXPECT_TRUE(form.Memo1->Lines().isEmpty());
}

TEST_F(Form1Test, AddLineScrollsToTheNewLine) {
  form.show();
  QScrollBar* bar = form.Memo1->verticalScrollBar();
  for (int i = 0; i < 200; ++i) form.Memo1->AddLine(QString("line %1").arg(i));
  QApplication::processEvents();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(0);  // the user scrolled up and selects; the next line still shows
  form.Memo1->selectAll();
  form.Memo1->AddLine("last");
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(form.Memo1->textCursor().hasSelection());
}

TEST_F(Form1Test, ClicksRunTheCommandsWithTheirButtonAsSender) {
  QObject* connectSender = nullptr;
  QObject* receiveSender = nullptr;
  form.onConnect = [&](QObject* s) { connectSender = s; };
  form.onReceive = [&](QObject* s) { receiveSender = s; };
  form.SpeedButton1->click();
  form.SpeedButton2->click();
  EXPECT_EQ(connectSender, form.SpeedButton1);
  EXPECT_EQ(receiveSender, form.SpeedButton2);
  EXPECT_TRUE(form.shown.isEmpty());
}

TEST_F(Form1Test, AnExceptionFromACommandIsShownAndTheWindowGoesOn) {
  form.onConnect = [](QObject*) {
    throw std::runtime_error("The ComNumber property of the TRivuComPort has not been set");
  };
  form.onReceive = [](QObject*) { throw 42; };
  form.SpeedButton1->click();
  form.SpeedButton2->click();
  EXPECT_EQ(form.shown,
            QStringList({"The ComNumber property of the TRivuComPort has not been set", ""}));
  form.onConnect = [&](QObject*) { form.Memo1->SetText("Port opened"); };
  form.SpeedButton1->click();
  EXPECT_EQ(form.Memo1->Text(), "Port opened");
}

}  // namespace
