#include "app/qt/qt_platform.h"

#include <QCoreApplication>
#include <QThread>

#include "app/qt/error_box.h"
#include "serial/platform/queued_window.h"
#include "serial/ui/com_select_form.h"

namespace {

// Queues Job for the mailbox's (user-interface) thread; false when there is
// no application to run it.
template <class F>
bool PostTo(QObject* Mailbox, F&& Job) {
  if (!QCoreApplication::instance()) return false;
  return QMetaObject::invokeMethod(Mailbox, std::forward<F>(Job), Qt::QueuedConnection);
}

class TQtNotifyWindow : public TQueuedNotifyWindow {
 public:
  TQtNotifyWindow(TWindowProc Proc, QObject* Mailbox)
      : TQueuedNotifyWindow(std::move(Proc)), mailbox_(Mailbox) {}

 protected:
  bool Queue(std::function<void()> Job) override { return PostTo(mailbox_, std::move(Job)); }
  bool OnOwnerThread() const override { return OnGuiThread(); }

 private:
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
