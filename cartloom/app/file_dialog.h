// The window's file-open and file-save dialogs. Each remembers the name last chosen, so an
// operation can reopen that file without showing the dialog again.
#pragma once

#include <QFileDialog>
#include <QString>

class TFileDialog : public QFileDialog {
    Q_OBJECT

  public:
    TFileDialog(QWidget* parent, QFileDialog::AcceptMode mode);

    // Shows the dialog modally, starting at FileName. true when the user chose a file; FileName
    // then holds it.
    bool Execute();

    QString FileName;
};
