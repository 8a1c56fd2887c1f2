#include "app/qt/error_box.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>

#include "app/application.h"
#include "app/qt/save_dialog.h"
#include "tests/app/test_app.h"

namespace {

TEST(ErrorBoxText, AppendsAFullStopAfterCharactersSortingAfterIt) {
  const std::pair<const char*, const char*> rows[] = {
      {"", ""},
      {"The ComNumber property of the TRivuComPort has not been set",
       "The ComNumber property of the TRivuComPort has not been set."},
      {"Already done.", "Already done."},
      {"Stop!", "Stop!"},      // '!' sorts before '.'
      {"a - b -", "a - b -"},  // '-' sorts before '.'
      {"(see above)", "(see above)"},
      {"COM3", "COM3."},  // digits sort after '.'
      {"path/", "path/."},
      {"Fehler: Größe", "Fehler: Größe."},
  };
  for (const auto& [message, shown] : rows)
    EXPECT_EQ(ErrorBoxText(QString::fromUtf8(message)), QString::fromUtf8(shown)) << message;
}

TEST(ErrorBox, IsAModalStopBoxWithOkTitledWithTheApplicationTitle) {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool modal = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    modal = box->isModal();
    box->accept();
  });
  ShowErrorBox("ie_Open - device already open");
  EXPECT_EQ(title, QString::fromUtf8(ApplicationTitle));
  EXPECT_EQ(text, "ie_Open - device already open.");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttons, QMessageBox::Ok);
  EXPECT_TRUE(modal);
}

TEST(SaveDialogNameFilters, TurnsBarSeparatedPairsIntoNameFilters) {
  EXPECT_EQ(SaveDialogNameFilters("Tavo channels files (*.tcn)|*.TCN|All files (*.*)|*.*"),
            QStringList({"Tavo channels files (*.TCN)", "All files (*.*)"}));
  EXPECT_EQ(SaveDialogNameFilters("Pictures|*.bmp;*.png"), QStringList({"Pictures (*.bmp *.png)"}));
  EXPECT_TRUE(SaveDialogNameFilters("").isEmpty());
  EXPECT_TRUE(SaveDialogNameFilters("Description without pattern").isEmpty());
}

}  // namespace
