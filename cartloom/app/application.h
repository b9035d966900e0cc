// The application object: an exception that escapes an event handler is shown in the
// toolkit's standard error box, and the program then ends with exit status 0.
#pragma once

#include <QApplication>

class TApplication : public QApplication {
    Q_OBJECT

  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows `what` in a critical message box titled with the application's name, then ends the
// process with status 0.
[[noreturn]] void ShowFatalError(const QString& what);
