#include "app/save_dialog.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QRegularExpression>

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

bool TSaveDialog::Execute(QWidget* parent) {
  QFileDialog dialog(parent);
  dialog.setWindowModality(Qt::NonModal);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Options & ofOverwritePrompt));
  dialog.setSizeGripEnabled(Options & ofEnableSizing);
  const QStringList filters = SaveDialogNameFilters(Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = FilterIndex >= 1 && FilterIndex <= filters.size() ? FilterIndex : 1;
    dialog.selectNameFilter(filters[index - 1]);
  }
  QString suffix = DefaultExt;
  if (suffix.startsWith(u'.')) suffix.remove(0, 1);
  dialog.setDefaultSuffix(suffix);
  if (!FileName.isEmpty()) dialog.selectFile(FileName);

  QEventLoop loop;
  QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
  running_ = &dialog;
  dialog.show();
  loop.exec();
  running_ = nullptr;
  if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  FileName = dialog.selectedFiles().front();
  const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
  if (chosen >= 0) FilterIndex = static_cast<int>(chosen) + 1;
  return true;
}

void TSaveDialog::Cancel() {
  if (running_) running_->reject();
}
