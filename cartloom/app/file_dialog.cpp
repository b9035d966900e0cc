#include "cartloom/app/file_dialog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QEvent>
#include <QStringList>
#include <QTimer>

TFileDialog::TFileDialog(QWidget* parent, QFileDialog::AcceptMode mode) : QFileDialog(parent) {
    // Qt's own dialog looks and behaves the same on every platform, and tests can fill it in.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(mode);
    setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
}

bool TFileDialog::Execute(QString* name) {
    // The list of names the dialog proposes while one is typed is a window of its own. Closed
    // with Return while it shows, or filled in after the dialog closed (the folder is read in
    // the background), it would stay on screen and take the next click meant for the window.
    for (QCompleter* completer : findChildren<QCompleter*>()) {
        completer->popup()->removeEventFilter(this);
        completer->popup()->installEventFilter(this);
    }
    if (!name->isEmpty()) selectFile(*name);
    const int result = exec();
    HideCompletions();
    if (result != QDialog::Accepted) return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty()) return false;
    *name = chosen.first();
    return true;
}

bool TFileDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && !isVisible()) {
        QTimer::singleShot(0, static_cast<QWidget*>(watched), &QWidget::hide);
    }
    return QFileDialog::eventFilter(watched, event);
}

void TFileDialog::HideCompletions() {
    for (QCompleter* completer : findChildren<QCompleter*>()) completer->popup()->hide();
}
