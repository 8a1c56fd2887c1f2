// The Connect/Disconnect and Receive commands against the box simulator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFileDialog>
#include <QMessageBox>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/graphics/glyph_data.h"
#include "app/graphics/glyph_streams.h"
#include "app/qt/error_box.h"
#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"
#include "app/qt/skin/speed_button.h"
#include "app/qt/window_view.h"
#include "download/content_type.h"
#include "tests/app/window_fixture.h"

namespace {

using namespace window_test;
namespace fs = std::filesystem;

bool SameBytes(const TBitmap& bmp, const std::array<std::uint8_t, 9270>& data) {
  return std::equal(bmp.Bytes().begin(), bmp.Bytes().end(), data.begin(), data.end());
}

boxsim::Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CommandsTest : public WindowTest {
 protected:
  void Connect() {
    Form().SpeedButton1->click();
    ASSERT_TRUE(Form().RivuComPort1.Open()) << Form().Shown.join("; ").toStdString();
  }
  // Waits for the save dialog and answers it with Name (cancels when empty).
  void AnswerSaveDialog(const QString& Name) {
    ASSERT_TRUE(WaitFor([&] { return Form().SaveDialog1.Running(); }));
    QFileDialog* dialog = Form().SaveDialog1.Dialog();
    if (Name.isEmpty()) return dialog->reject();
    TypeFileName(*dialog, Name);
    static_cast<QDialog*>(dialog)->accept();  // the dialog's own is protected
  }
  fs::path Saved(const char* name) const { return scratch_.Root() / name; }
};

TEST_F(CommandsTest, ConnectReceiveSaveAndDisconnect) {
  Form().TCN_RB->click();
  Connect();
  EXPECT_EQ(platform_.Prompts, 1);
  EXPECT_EQ(Form().RivuComPort1.ComNumber(), 3);
  EXPECT_EQ(Form().RivuComPort1.Baud(), 115200);
  EXPECT_EQ(Lines(), QStringList{"Port opened"});
  EXPECT_EQ(Form().SpeedButton1->Caption(), " DisCnct");
  EXPECT_TRUE(SameBytes(Form().SpeedButton1->Glyph(), ConnectedGlyph));

  Form().SpeedButton2->click();
  EXPECT_TRUE(TaskRunning);
  // A name without extension gets the content type's.
  AnswerSaveDialog(QString::fromStdString(Saved("list").string()));
  const std::string_view filter = Describe(ContentType::ctChannels).saveFilter;
  EXPECT_EQ(Form().SaveDialog1.Filter, QString::fromUtf8(filter.data(), filter.size()));
  EXPECT_EQ(Form().SaveDialog1.DefaultExt, ".tcn");
  ASSERT_TRUE(TaskEnded());
  EXPECT_EQ(ReadFile(Saved("list.tcn")), box_->ExpectedFile(ContentType::ctChannels));

  const QStringList lines = Lines();
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines.front(), "Waiting for STB...");
  EXPECT_EQ(lines[1], "Initializing Download task...");
  EXPECT_EQ(lines.mid(2, lines.size() - 4).filter(" ........... OK").size(), lines.size() - 4);
  EXPECT_EQ(lines[lines.size() - 2], "Communication END OK ...");
  EXPECT_EQ(lines.back(), "Download task terminated!!!");
  EXPECT_EQ(Form().ProgressBar1->Max(),
            static_cast<int>(box_->ExpectedFile(ContentType::ctChannels).size() - 64));

  Form().SpeedButton1->click();
  EXPECT_FALSE(Form().RivuComPort1.Open());
  EXPECT_EQ(Lines(), QStringList{"Port closed"});
  EXPECT_EQ(Form().SpeedButton1->Caption(), " Connect");
  EXPECT_TRUE(SameBytes(Form().SpeedButton1->Glyph(), SpeedButton1Glyph));
  EXPECT_TRUE(Form().Shown.isEmpty());
}

TEST_F(CommandsTest, ReceiveWithThePortClosedStartsNothing) {
  Form().Memo1->SetText("old");
  Form().SpeedButton2->click();
  EXPECT_EQ(Form().Memo1->Text(), "Please, connect first");
  EXPECT_FALSE(TaskRunning);
  EXPECT_EQ(platform_.Prompts, 0);
}

TEST_F(CommandsTest, SecondReceiveWhileATaskRunsIsRefused) {
  Connect();
  Form().SpeedButton2->click();  // no content type chosen: it starts all the same
  ASSERT_TRUE(WaitFor([&] { return LogHas("Waiting for STB..."); }));
  Form().SpeedButton2->click();
  EXPECT_EQ(Form().Memo1->Text(), "Task is already running!!!");
  EXPECT_TRUE(TaskRunning);
  Form().SpeedButton1->click();
  EXPECT_TRUE(TaskEnded());
}

TEST_F(CommandsTest, CancelledPortDialogShowsTheErrorBoxAndLeavesThePortClosed) {
  platform_.Answer = 0;
  Form().SpeedButton1->click();
  ASSERT_EQ(Form().Shown,
            QStringList{"The ComNumber property of the TRivuComPort has not been set"});
  EXPECT_EQ(ErrorBoxText(Form().Shown[0]),
            "The ComNumber property of the TRivuComPort has not been set.");
  EXPECT_TRUE(Lines().isEmpty());
  EXPECT_EQ(Form().SpeedButton1->Caption(), " Connect");
  EXPECT_TRUE(SameBytes(Form().SpeedButton1->Glyph(), SpeedButton1Glyph));
  EXPECT_FALSE(Form().RivuComPort1.Open());
  Form().SpeedButton1->click();
  EXPECT_EQ(platform_.Prompts, 2);  // every Connect asks again
}

// The error box of a port held elsewhere (here by this process, on a
// descriptor of its own) names who holds it.
TEST_F(CommandsTest, HeldPortsErrorBoxNamesItsHolder) {
  const int fd = ::open(box_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  Form().SpeedButton1->click();
  ::close(fd);
  EXPECT_EQ(Form().Shown.join("; ").toStdString(), "ie_Open - device already open, held by " +
                                                       std::string(program_invocation_short_name) +
                                                       " (pid " + std::to_string(::getpid()) + ")");
  EXPECT_FALSE(Form().RivuComPort1.Open());
}

TEST_F(CommandsTest, ConnectedGlyphSwapsTheSameTwoPicturesEveryTime) {
  for (int i = 0; i < 100; ++i) {
    Form().SpeedButton1->click();
    ASSERT_TRUE(Form().RivuComPort1.Open()) << i;
    ASSERT_TRUE(SameBytes(Form().SpeedButton1->Glyph(), ConnectedGlyph)) << i;
    ASSERT_EQ(Form().SpeedButton1->Glyph().Pixels(), TBitmap(ConnectedGlyph).Pixels()) << i;
    Form().SpeedButton1->click();
    ASSERT_FALSE(Form().RivuComPort1.Open()) << i;
    ASSERT_TRUE(SameBytes(Form().SpeedButton1->Glyph(), SpeedButton1Glyph)) << i;
    ASSERT_EQ(Form().SpeedButton1->Caption(), " Connect") << i;
  }
  // The streams hold one picture each, however often the port was opened.
  EXPECT_EQ(SavedGlyphStream.Size(), 9270u);
  EXPECT_EQ(ConnectedGlyphStream.Size(), 9270u);
  EXPECT_TRUE(Form().Shown.isEmpty());
}

class SlowCommandsTest : public CommandsTest {
 protected:
  SlowCommandsTest() { Form().UseTaskTimings(FastTimings(40ms)); }
};

TEST_F(SlowCommandsTest, DisconnectWhileReceivingEndsTheTaskWithoutSaving) {
  Form().TCN_RB->click();
  Connect();
  Form().SpeedButton2->click();
  ASSERT_TRUE(WaitFor([&] { return LogHas("Data packet  001  ........... OK"); }));
  Form().SpeedButton1->click();
  EXPECT_EQ(Lines(), QStringList{"Port closed"});
  EXPECT_EQ(Form().SpeedButton1->Caption(), " Connect");
  ASSERT_TRUE(TaskEnded());
  EXPECT_EQ(Lines(), QStringList({"Port closed", "Download task terminated!!!"}));
  EXPECT_FALSE(Form().SaveDialog1.Running());
  EXPECT_TRUE(Form().SaveDialog1.FileName.isEmpty());
  EXPECT_TRUE(Form().Shown.isEmpty());
}

TEST_F(SlowCommandsTest, ClosingTheWindowMidDownloadStopsTheTaskAndThePort) {
  Form().TCN_RB->click();
  Connect();
  Form().SpeedButton2->click();
  ASSERT_TRUE(WaitFor([&] { return LogHas("Data packet  000  ........... OK"); }));
  Form().show();
  EXPECT_TRUE(Form().close());
  EXPECT_FALSE(TaskRunning);
  EXPECT_FALSE(Form().RivuComPort1.Open());
  EXPECT_EQ(Lines().back(), "Download task terminated!!!");
}

TEST_F(CommandsTest, ClosingTheWindowWithTheSaveDialogOpenWritesNoFile) {
  Form().TCN_RB->click();
  Connect();
  Form().SpeedButton2->click();
  ASSERT_TRUE(WaitFor([&] { return Form().SaveDialog1.Running(); }));
  TypeFileName(*Form().SaveDialog1.Dialog(), QString::fromStdString(Saved("never.tcn").string()));
  form_.reset();  // destroying the window closes it the same way
  EXPECT_FALSE(TaskRunning);
  for (const auto& entry : fs::directory_iterator(scratch_.Root()))
    EXPECT_EQ(entry.path().extension(), "") << entry.path();
}

TEST_F(CommandsTest, ClosingTheWindowWithAMessageBoxOpenReturns) {
  boxsim::BoxOptions refusing = Unpaced();
  refusing.faults = {{.kind = boxsim::FaultKind::kRefuseRequest}};
  box_ = std::make_unique<boxsim::BoxSimulator>(refusing);
  fs::remove(scratch_.Links() / "com3");
  scratch_.Link("com3", box_->SlavePath());
  Connect();
  Form().show();
  Form().SpeedButton2->click();
  ASSERT_TRUE(WaitFor([&] { return Form().View().OpenBox() != nullptr; }));
  QMessageBox* box = Form().View().OpenBox();
  EXPECT_EQ(box->text(), "Bad STB response! Aborting ...");
  EXPECT_EQ(box->windowTitle(), "Error");
  EXPECT_FALSE(box->isModal());
  Form().close();
  EXPECT_FALSE(TaskRunning);
  EXPECT_EQ(Lines().back(), "Download task terminated!!!");
}

}  // namespace
