#include "cartloom/app/operation_state.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVariant>

#include "cartloom/app/form1.h"
#include "cartloom/link/link.h"

bool Busy = false;
bool StopRequested = false;
std::int16_t ElapsedSeconds = 0;
bool BlinkPhase = true;
std::FILE* ImageFile = nullptr;
std::int32_t ImageSize = 0;
std::uint32_t ProgressTotal = 0;

namespace {

// A Stop click or a timer tick waits at most this long inside a programmed block.
constexpr qint64 kPumpDueNs = 2'000'000;

QElapsedTimer last_pump;

void SetOperationButtons(bool enabled) {
    for (QToolButton* b : {Form1->Write, Form1->Verify, Form1->Info, Form1->Backup, Form1->Erase,
                           Form1->SaveData, Form1->RestoreData, Form1->Exit}) {
        b->setEnabled(enabled);
    }
}

}  // namespace

void PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    last_pump.start();
}

void PumpMessagesWhenDue() {
    if (last_pump.isValid() && last_pump.nsecsElapsed() < kPumpDueNs) return;
    PumpMessages();
}

void StartPolling() {
    Form1->Timer1->start();
    PumpMessages();
}

void StopPolling() {
    Form1->Timer1->stop();
    PumpMessages();
}

void BeginOperation() {
    Busy = true;
    StopRequested = false;
    SetOperationButtons(false);
    Form1->Stop->setEnabled(true);
    ElapsedSeconds = 0;
    Form1->Label3->setText(QStringLiteral("0 Sec"));
    PumpMessages();
}

void EndOperation() {
    Busy = false;
    StopRequested = true;
    SetOperationButtons(true);
    Form1->Stop->setEnabled(false);
    Form1->Label2->clear();
    LogLine("");
    PumpMessages();
}

void ReportStop() {
    Form1->ProgressBar1->setValue(0);
    Form1->Label3->clear();
    Form1->Label2->clear();
    LogLine("Stop process !!!");
    ReleaseLink();
}

void LogLine(const QString& text) {
    // An empty document and one empty line look alike to the editor, so the log counts its own
    // lines: the first line goes into the editor's first block, every later one into a new block.
    QPlainTextEdit* memo = Form1->Memo1;
    const int lines = memo->property("logLines").toInt();
    QTextCursor end(memo->document());
    end.movePosition(QTextCursor::End);
    if (lines > 0) end.insertBlock();
    end.insertText(text);
    memo->setProperty("logLines", lines + 1);
    memo->setTextCursor(end);
    memo->ensureCursorVisible();
}

void LogLine(const char* text) {
    LogLine(QString::fromLatin1(text));
}

void CloseImageFile() {
    if (ImageFile == nullptr) return;
    std::fclose(ImageFile);
    ImageFile = nullptr;
}
