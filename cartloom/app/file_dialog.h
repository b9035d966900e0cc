// The window's file-open and file-save dialogs.
#pragma once

#include <QFileDialog>
#include <QString>

class TFileDialog : public QFileDialog {
    Q_OBJECT

  public:
    TFileDialog(QWidget* parent, QFileDialog::AcceptMode mode);

    // Shows the dialog modally, starting at `*name` when it is not empty. true when the user
    // chose a file; `*name` then holds it.
    bool Execute(QString* name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void HideCompletions();
};
