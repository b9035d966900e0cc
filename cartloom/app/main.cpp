// CARTLOOM: writes, verifies and backs up flash cartridges through the flash linker.
#include <QMessageBox>
#include <exception>

#include "cartloom/app/application.h"
#include "cartloom/app/dialogs.h"
#include "cartloom/app/form1.h"
#include "cartloom/link/link.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    try {
        const portio::AccessResult access = OpenPortBackend();
        if (!access.usable) {
            QMessageBox::critical(nullptr, QCoreApplication::applicationName(),
                                  QString::fromStdString(access.message));
            return 1;
        }
        TForm1 form;
        CreateDialogs();
        form.show();
        const int status = QApplication::exec();
        DestroyDialogs();
        ClosePortBackend();
        return status;
    } catch (const std::exception& e) {
        ShowFatalError(QString::fromLocal8Bit(e.what()));
    }
}
