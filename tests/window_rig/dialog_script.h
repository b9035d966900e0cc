// Answers the modal dialogs that the code under test opens, as a user would, in order.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QTimer;
class QWidget;

namespace windowtest {

// Runs actions on the modal dialogs the code under test opens, in order: each action is given
// the dialog and must close it. A dialog that no action was queued for is cancelled and noted.
class DialogScript {
  public:
    DialogScript();
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    void Then(std::function<void(QWidget* dialog)> action);
    // Every action ran and every dialog closed as it should.
    bool Done() const { return actions_.empty() && unexpected.isEmpty(); }
    // Why Done is false.
    QString Why() const;
    QStringList unexpected;  // titles of dialogs that appeared with nothing queued

  private:
    void Poll();
    std::deque<std::function<void(QWidget*)>> actions_;
    struct Acting {
        QPointer<QWidget> dialog;
        QElapsedTimer since;
    };
    std::vector<Acting> acting_;
    QTimer* timer_;
};

// Actions for DialogScript.
std::function<void(QWidget*)> PressEnter();
std::function<void(QWidget*)> PressEscape();
// Checks `item` of the dialog's radio group, then presses Enter.
std::function<void(QWidget*)> ChooseItem(int item);
// Notes the radio group's checked item in *seen, then presses Enter.
std::function<void(QWidget*)> NoteItemAndEnter(int* seen);
// Types `path` into a file dialog and accepts it; with `proposed` set, first notes the name it
// proposed. `accepted` runs right after the dialog took the file.
std::function<void(QWidget*)> PickFile(const QString& path, QString* proposed = nullptr,
                                       std::function<void()> accepted = {});
// Answers Yes in a question box (the file dialog's overwrite prompt).
std::function<void(QWidget*)> AnswerYes();

}  // namespace windowtest

#define QVERIFY_SCRIPT(script) QVERIFY2((script).Done(), qPrintable((script).Why()))
