#include "app/qt_platform.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <mutex>

#include "app/error_box.h"
#include "serial/ui/com_select_form.h"

namespace {

// Outlives the window while messages for it are queued.
struct TWindowCore {
  std::mutex M;
  TWindowProc Proc;
  bool Alive = true;

  intptr_t Call(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    TWindowProc P;
    {
      std::lock_guard Lock(M);
      if (!Alive) return 0;
      P = Proc;
    }
    return P(Msg, WParam, LParam);
  }
};

struct TSendState {
  std::mutex M;
  std::condition_variable Cv;
  bool Done = false, Abandoned = false;
  intptr_t Result = 0;
};

// Queues Job for the mailbox's (user-interface) thread; false when there is
// no application to run it.
template <class F>
bool PostTo(QObject* Mailbox, F&& Job) {
  if (!QCoreApplication::instance()) return false;
  return QMetaObject::invokeMethod(Mailbox, std::forward<F>(Job), Qt::QueuedConnection);
}

class TQtNotifyWindow : public TNotifyWindow {
 public:
  TQtNotifyWindow(TWindowProc Proc, QObject* Mailbox)
      : core_(std::make_shared<TWindowCore>()), mailbox_(Mailbox) {
    core_->Proc = std::move(Proc);
  }
  ~TQtNotifyWindow() override {
    // Messages still queued find the window gone and do nothing.
    std::lock_guard Lock(core_->M);
    core_->Alive = false;
  }

  void Post(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override {
    PostTo(mailbox_, [core = core_, Msg, WParam, LParam] { core->Call(Msg, WParam, LParam); });
  }

  bool Send(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs,
            intptr_t* Result) override {
    if (OnGuiThread()) {
      const intptr_t R = core_->Call(Msg, WParam, LParam);
      if (Result) *Result = R;
      return true;
    }
    auto S = std::make_shared<TSendState>();
    const bool queued = PostTo(mailbox_, [S, core = core_, Msg, WParam, LParam] {
      {
        std::lock_guard Lock(S->M);
        if (S->Abandoned) return;
      }
      const intptr_t R = core->Call(Msg, WParam, LParam);
      std::lock_guard Lock(S->M);
      S->Result = R;
      S->Done = true;
      S->Cv.notify_all();
    });
    if (!queued) return false;
    std::unique_lock Lock(S->M);
    if (!S->Cv.wait_for(Lock, std::chrono::milliseconds(TimeoutMs), [&S] { return S->Done; })) {
      // Too late: the message must not run after the sender gave up on it.
      S->Abandoned = true;
      return false;
    }
    if (Result) *Result = S->Result;
    return true;
  }

 private:
  std::shared_ptr<TWindowCore> core_;
  QObject* mailbox_;
};

}  // namespace

bool OnGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

TQtSerialPlatform::TQtSerialPlatform() : mailbox_(std::make_unique<QObject>()) {}

TQtSerialPlatform::~TQtSerialPlatform() = default;

std::unique_ptr<TNotifyWindow> TQtSerialPlatform::CreateNotifyWindow(TWindowProc Proc) {
  if (!OnGuiThread()) return fallback_.CreateNotifyWindow(std::move(Proc));
  return std::make_unique<TQtNotifyWindow>(std::move(Proc), mailbox_.get());
}

void TQtSerialPlatform::ProcessPendingEvents() {
  if (!OnGuiThread()) return fallback_.ProcessPendingEvents();
  QCoreApplication::sendPostedEvents(mailbox_.get(), QEvent::MetaCall);
}

void TQtSerialPlatform::ShowBackgroundError(const std::string& Text) {
  const QString message = QString::fromStdString(Text);
  if (!PostTo(mailbox_.get(), [message] { OpenErrorBox(message); })) {
    fallback_.ShowBackgroundError(Text);
  }
}

int TQtSerialPlatform::PromptForPort() {
  if (!OnGuiThread()) return 0;  // no dialog can be shown from here
  TComSelectForm form;
  if (form.ShowModal() != mrOk) return 0;
  return form.SelectedComNum();
}
