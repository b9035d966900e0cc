#include "cartloom/app/operation_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <QTextCursor>
#include <QToolButton>
#include <QVariant>

#include "cartloom/app/file_dialog.h"
#include "cartloom/app/form1.h"

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void TOperationWindow::LogLine(std::string_view line) {
    // An empty document and one empty line look alike to the editor, so the log counts its own
    // lines: the first line goes into the editor's first block, every later one into a new block.
    QPlainTextEdit* memo = form_->Memo1;
    const int lines = memo->property("logLines").toInt();
    QTextCursor end(memo->document());
    end.movePosition(QTextCursor::End);
    if (lines > 0) end.insertBlock();
    end.insertText(FromUtf8(line));
    memo->setProperty("logLines", lines + 1);
    memo->setTextCursor(end);
    memo->ensureCursorVisible();
}

void TOperationWindow::SetProgress(std::uint16_t position) {
    form_->ProgressBar1->setValue(position);
}

void TOperationWindow::SetProgressMaximum(std::uint16_t maximum) {
    form_->ProgressBar1->setMaximum(maximum);
}

void TOperationWindow::SetCaption(StatusCaption caption, std::string_view text) {
    QLabel* label = caption == StatusCaption::Operation ? form_->Label2 : form_->Label3;
    label->setText(FromUtf8(text));
}

void TOperationWindow::ShowOperationRunning(bool running) {
    if (!running) {
        // Clicks made while the buttons were greyed, in a stretch that processed no messages,
        // are still waiting. Handled now, while the buttons are greyed still, they do nothing,
        // as they did nothing on the screen.
        QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
    }
    for (QToolButton* b : {form_->Write, form_->Verify, form_->Info, form_->Backup, form_->Erase,
                           form_->SaveData, form_->RestoreData, form_->Exit}) {
        b->setEnabled(!running);
    }
    form_->Stop->setEnabled(running);
}

void TOperationWindow::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TOperationWindow::ChooseFile(FileDialog dialog, std::string* name) {
    TFileDialog* files = dialog == FileDialog::Open ? form_->OpenDialog1 : form_->SaveDialog1;
    QString chosen = QString::fromStdString(*name);
    if (!files->Execute(&chosen)) return false;
    *name = chosen.toStdString();
    return true;
}
