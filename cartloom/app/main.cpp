// CARTLOOM: writes, verifies and backs up flash cartridges through the flash linker.
#include <QMessageBox>
#include <exception>

#include "cartloom/app/application.h"
#include "cartloom/app/dialogs.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/signals.h"
#include "cartloom/link/link.h"

int main(int argc, char** argv) {
    // Port access comes first, and with it the end of whatever privileges the start had: the
    // toolkit must not start in a process that can do more than its user (it refuses a setuid
    // start outright).
    const portio::AccessResult access = OpenPortBackend();
    TApplication app(argc, argv);
    try {
        if (access.outcome == portio::AccessOutcome::Unusable) {
            QMessageBox::critical(nullptr, QCoreApplication::applicationName(),
                                  QString::fromStdString(access.reason));
            return 1;
        }
        TForm1 form;
        CreateDialogs();
        CloseOnSignals(&form);
        form.show();
        const int status = QApplication::exec();
        DestroyDialogs();
        ClosePortBackend();
        // Ended by a signal: the status says which, as if it had ended the process.
        return ClosingSignal() != 0 ? 128 + ClosingSignal() : status;
    } catch (const std::exception& e) {
        ShowFatalError(QString::fromLocal8Bit(e.what()));
    }
}
