#include "app/qt/save_dialog.h"

#include <QFileDialog>
#include <QRegularExpression>
#include <memory>

#include "download/file_writer.h"

QStringList SaveDialogNameFilters(const QString& filter) {
  QStringList out;
  const QStringList parts = filter.split(u'|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    // The description often names its patterns already; show them once.
    static const QRegularExpression trailing(QStringLiteral("\\s*\\([^()]*\\)$"));
    description.remove(trailing);
    QString patterns = parts[i + 1].trimmed();
    patterns.replace(u';', u' ');
    out << QStringLiteral("%1 (%2)").arg(description, patterns);
  }
  return out;
}

void TSaveDialog::Show(QWidget* parent, std::function<void(bool)> Finished) {
  Cancel();
  auto owned = std::make_unique<QFileDialog>(parent);
  QFileDialog* dialog = owned.get();
  dialog->setWindowModality(Qt::NonModal);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !(Options & ofOverwritePrompt));
  dialog->setSizeGripEnabled(Options & ofEnableSizing);
  const QStringList filters = SaveDialogNameFilters(Filter);
  if (!filters.isEmpty()) {
    dialog->setNameFilters(filters);
    const int index = FilterIndex >= 1 && FilterIndex <= filters.size() ? FilterIndex : 1;
    dialog->selectNameFilter(filters[index - 1]);
  }
  QString suffix = DefaultExt;
  if (suffix.startsWith(u'.')) suffix.remove(0, 1);
  dialog->setDefaultSuffix(suffix);
  if (!FileName.isEmpty()) dialog->selectFile(FileName);

  QObject::connect(dialog, &QDialog::finished, dialog,
                   [this, dialog, filters, Finished = std::move(Finished)](int result) {
                     if (running_ == dialog) running_ = nullptr;
                     dialog->deleteLater();
                     const QStringList chosen = dialog->selectedFiles();
                     const bool accepted = result == QDialog::Accepted && !chosen.isEmpty();
                     if (accepted) {
                       // The toolkit adds the suffix only to names without any
                       // dot; a hidden name (".list") gets it too.
                       FileName = QString::fromStdString(
                           WithDefaultExt(chosen.front().toStdString(), DefaultExt.toStdString()));
                       const qsizetype filter = filters.indexOf(dialog->selectedNameFilter());
                       if (filter >= 0) FilterIndex = static_cast<int>(filter) + 1;
                     }
                     Finished(accepted);
                   });
  running_ = dialog;
  dialog->show();
  // Without a parent the dialog deletes itself once finished; with one, the
  // parent also deletes it should it still be open when the parent goes.
  owned.release();
}

TSaveDialog::~TSaveDialog() {
  if (!running_) return;
  QObject::disconnect(running_, &QDialog::finished, nullptr, nullptr);
  std::unique_ptr<QFileDialog> gone(running_.data());
}

void TSaveDialog::Cancel() {
  if (running_) running_->reject();
}
