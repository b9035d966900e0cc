#include "cartloom/app/application.h"

#include <QMessageBox>
#include <cstdlib>
#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The task-bar text. Only the name is set, not a display name, because Qt would append a
    // display name to every window caption.
    setApplicationName(QStringLiteral("LOOM2"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowFatalError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowFatalError(QStringLiteral("Unknown exception"));
    }
}

void ShowFatalError(const QString& what) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), what);
    std::exit(0);
}
