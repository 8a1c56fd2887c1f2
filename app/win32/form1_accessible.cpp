// The main window's parts as a screen reader reads them, in reading order:
// the title, the title bar's buttons, the banner, the content types, Connect,
// Receive, the log, the progress bar and the link.
#include "app/accessible_names.h"
#include "app/application.h"
#include "app/controls_logic.h"
#include "app/win32/form1.h"
#include "app/win32/wide.h"

using namespace Form1Layout;

std::vector<TAccessibleItem> TForm1::AccessibleItems() const {
  std::vector<TAccessibleItem> items(roCount);
  if (!wnd_) return {};
  RECT client;
  GetClientRect(wnd_, &client);
  const POINT o = Origin();
  auto part = [&](TReadingOrder At, long Role, std::string_view Name, RECT Bounds, long State) {
    TAccessibleItem& item = items[At];
    item.Role = Role;
    item.Name = Wide(Name);
    item.Bounds = Bounds;
    item.State = State;
    return &item;
  };
  auto window = [&](TReadingOrder At, HWND Child) {
    items[At].Window = Child;
    GetWindowRect(Child, &items[At].Bounds);
    MapWindowPoints(nullptr, wnd_, reinterpret_cast<POINT*>(&items[At].Bounds), 2);
  };

  // The title bar: its buttons right to left from the edge, as painted.
  part(roTitle, ROLE_SYSTEM_STATICTEXT, ApplicationTitle, TitleTextRect(client.right),
       STATE_SYSTEM_READONLY);
  using AccessibleNames::Name;
  using AccessibleNames::TWindowCommand;
  const struct {
    TReadingOrder At;
    THot Hot;
    const char* Name;
  } buttons[] = {
      {roMenu, htMenu, AccessibleNames::WindowMenu},
      {roMinimize, htMinimize, Name(TWindowCommand::Minimize)},
      {roMaximize, htMaximize,
       Name(maximized_ ? TWindowCommand::Restore : TWindowCommand::Maximize)},
      {roClose, htClose, Name(TWindowCommand::Close)},
  };
  for (const auto& b : buttons) {
    const long state = (hot_ == b.Hot ? STATE_SYSTEM_HOTTRACKED : 0) |
                       (pressed_ == b.Hot && hot_ == b.Hot ? STATE_SYSTEM_PRESSED : 0);
    // The window menu's button is the fourth from the right edge.
    part(b.At, ROLE_SYSTEM_PUSHBUTTON, b.Name,
         TitleButtonRect(3 - int(b.At - roMenu), client.right), state)
        ->Action = L"Press";
  }

  part(roBanner, ROLE_SYSTEM_GRAPHIC, "", Px(Banner, o), STATE_SYSTEM_READONLY);
  part(roTypes, ROLE_SYSTEM_GROUPING, "", Px(RadioGroup, o), 0)
      ->Members.assign(radios_.begin(), radios_.end());
  window(roConnect, button1_);
  window(roReceive, button2_);
  window(roLog, memo_);

  const std::string caption = std::to_string(ProgressPercent(position_, min_, max_)) + "%";
  part(roProgress, ROLE_SYSTEM_PROGRESSBAR, caption, Px(ProgressBar1, o), STATE_SYSTEM_READONLY)
      ->Value = Wide(caption);
  part(roLink, ROLE_SYSTEM_LINK, LinkCaption, Px(URLLabel1, o),
       STATE_SYSTEM_LINKED | (hot_ == htLink ? STATE_SYSTEM_HOTTRACKED : 0))
      ->Action = L"Jump";
  return items;
}

LRESULT TForm1::AnswerGetObject(WPARAM WParam, LPARAM LParam) {
  if (LONG(LParam) != OBJID_CLIENT || !wnd_) return 0;
  if (!accessible_)
    accessible_ =
        std::make_unique<TAccessibleWindow>(wnd_, static_cast<const TAccessibleParts&>(*this));
  return accessible_->Answer(WParam, LParam);
}

void TForm1::TellReaders(DWORD Event, TReadingOrder Part) const {
  NotifyWinEvent(Event, wnd_, OBJID_CLIENT, ChildIdOf(Part));
}
