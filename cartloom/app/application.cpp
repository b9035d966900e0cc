#include "cartloom/app/application.h"

#include <QIcon>
#include <QMessageBox>
#include <cstdlib>
#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The task-bar text. Only the name is set, not a display name, because Qt would append a
    // display name to every window caption.
    setApplicationName(QStringLiteral("LOOM2"));
    // The desktop entry's picture (packaging/cartloom.svg, drawn at 256 px) and its name, by
    // which Wayland and X11 desktops match the window to the entry. On X11 the window class is
    // the application name, which the entry names as its StartupWMClass.
    setWindowIcon(QIcon(QStringLiteral(":/pictures/cartloom.png")));
    setDesktopFileName(QStringLiteral("cartloom"));
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
