#include "cartloom/app/file_dialog.h"

#include <QStringList>

TFileDialog::TFileDialog(QWidget* parent, QFileDialog::AcceptMode mode) : QFileDialog(parent) {
    // Qt's own dialog looks and behaves the same on every platform, and tests can fill it in.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(mode);
    setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
}

bool TFileDialog::Execute(QString* name) {
    if (!name->isEmpty()) selectFile(*name);
    if (exec() != QDialog::Accepted) return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty()) return false;
    *name = chosen.first();
    return true;
}
