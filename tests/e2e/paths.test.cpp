// Paths of a run that the other suites leave out: no content type chosen,
// where the progress bar ends up, and an end marker right after a repeat.
#include "tests/e2e/e2e.h"
#include "tests/fuzz/scripted_port.h"

namespace e2e {
namespace {

using boxsim::EventKind;

// Counts what the task asks of the save dialog's filter.
class TFilterView : public TRecordingView {
 public:
  void SetSaveFilter(std::string_view filter, std::string_view ext) override {
    filters.emplace_back(filter);
    TRecordingView::SetSaveFilter(filter, ext);
  }
  std::vector<std::string> filters;
};

class PathsTest : public E2ETest {
 protected:
  // StartTask with a view of the test's own kind.
  template <class View>
  View& StartWith() {
    auto owned = std::make_unique<View>();
    View& v = *owned;
    view = std::move(owned);
    view->SaveAs = (Out() / "file").string();
    TaskRunning = true;
    task = std::make_unique<UpThread>(*link, *view, FastTimings());
    return v;
  }
};

TEST_F(PathsTest, NoTypeChosenSendsTypeByteZeroAndTouchesNeitherFilterNorCode) {
  auto options = QuickBox();
  options.once = false;
  StartBox(options);
  Download(ContentType::ctData);  // leaves "DAT" in the request header
  const HeaderBlock before = RequestHeader::Instance().Bytes();

  TFilterView& v = StartWith<TFilterView>();
  v.Type = std::nullopt;
  Go();
  Finish();
  // This box refuses a request without a type.
  EXPECT_EQ(v.LinesSeen(), Lines({kStart, kInit, "Bad STB response! Aborting...", kDone}));
  EXPECT_TRUE(v.filters.empty());
  EXPECT_EQ(RequestHeader::Instance().Bytes(), before);
  const auto requests = Events(EventKind::kRequest);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests.back().bytes, Bytes({0xAB, 0x55, 0x70, 0x00}));
}

TEST_F(PathsTest, EachTypeSetsItsOwnFilter) {
  auto options = QuickBox();
  options.once = false;
  StartBox(options);
  const std::pair<ContentType, const char*> expected[] = {
      {ContentType::ctChannels, "Tavo channels files (*.tcn)|*.TCN|All files (*.*)|*.*"},
      {ContentType::ctLogo, "Logo and other files (*.logo)|*.LOGO|All files (*.*)|*.*"},
      {ContentType::ctData, "Data files (*.dat)|*.DAT|All files (*.*)|*.*"},
      {ContentType::ctNetConfig, "NET Config files (*.ncf)|*.NCF|All files (*.*)|*.*"}};
  for (const auto& [type, filter] : expected) {
    TFilterView& v = StartWith<TFilterView>();
    v.Type = type;
    Go();
    Finish();
    EXPECT_EQ(v.filters, std::vector<std::string>{filter});
  }
}

TEST_F(PathsTest, ProgressGoesBackToZeroAfterAStopAndAnAbort) {
  // A stop in the packet loop, with content already counted.
  StartBox(QuickBox());
  StartTask();
  view->OnLine = [this](const std::string& line) {
    if (line == PacketLine(1, true)) StopFromAnyThread();
  };
  Go();
  Finish();
  EXPECT_EQ(view->Peak(), 600);
  EXPECT_EQ(view->Position(), 0);

  // An abort: the position a previous run left is cleared too.
  ClosePort();
  StartBox(WithFaults({"refuse-header"}));
  StartTask();
  view->SetProgressPosition(77);
  Go();
  Finish();
  EXPECT_EQ(view->Position(), 0);
}

TEST_F(PathsTest, ProgressStaysWhereAPortFailureLeftIt) {
  StartBox(WithFaults({"hangup=1"}));
  Download(ContentType::ctChannels);
  EXPECT_EQ(view->LinesSeen().back(), kDone);
  EXPECT_EQ(view->Position(), 600);  // packets 0 and 1 arrived, then the line went
}

// The box gives up on a packet after one repeat and ends the content.
TEST(RunOnScript, EndMarkerRightAfterARepeatEndsTheContent) {
  std::vector<uint8_t> script;
  auto record = [&](std::initializer_list<std::span<const uint8_t>> parts) {
    std::size_t size = 0;
    for (auto p : parts) size += p.size();
    script.push_back(static_cast<uint8_t>(size));
    for (auto p : parts) script.insert(script.end(), p.begin(), p.end());
  };
  ResponseHeader header{'T', 'A', 'V', 'O'};
  header[19] = 10;  // 10 bytes announced
  const WordBytes accepted = ToWire(UP_ACCEPTED), headerOk = ToWire(HEADER_ACCEPTED),
                  length = ToWire(14), end = ToWire(END_MARKER), last = ToWire(0);
  const uint8_t payload[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const uint8_t badCrc[4] = {0, 0, 0, 0};
  record({kGreeting});
  record({accepted});
  record({headerOk});
  record({header});
  record({length, payload, badCrc});
  record({end, last});

  port_scratch::TScratch scratch;
  TScriptedPort port(script);
  TRecordingView view;
  view.SaveAs = (scratch.Root() / "file").string();
  TaskRunning = true;
  {
    UpThread task(port, view, FastTimings());
    task.Start();
    ASSERT_TRUE(view.WaitDone());
  }
  EXPECT_EQ(view.LinesSeen(), Lines({kStart, kInit, PacketLine(0, false), kEnd, kDone}));
  std::vector<uint8_t> expected;
  for (uint32_t w : {UpRequestWord(ContentType::ctChannels)}) {
    const auto b = ToWire(w);
    expected.insert(expected.end(), b.begin(), b.end());
  }
  const HeaderBlock request = RequestHeader::Instance().Bytes();
  expected.insert(expected.end(), request.begin(), request.end());
  const auto repeat = ToWire(PACKET_REPEAT);
  expected.insert(expected.end(), repeat.begin(), repeat.end());
  EXPECT_EQ(port.Sent(), expected);  // no TRANSFER_ABORT below three failures
  const Bytes file = ReadFile(scratch.Root() / "file.tcn");
  EXPECT_EQ(file, Bytes(header.begin(), header.end()));
}

}  // namespace
}  // namespace e2e
