#include "tests/window_rig/dialog_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "cartloom/app/dialog_parts.h"

namespace windowtest {
namespace {

TRadioGroup* RadioGroupOf(QWidget* dialog) {
    auto* group = dialog->findChild<TRadioGroup*>();
    if (group == nullptr) throw std::logic_error("the dialog has no radio group");
    return group;
}

}  // namespace

DialogScript::DialogScript() : timer_(new QTimer) {
    QObject::connect(timer_, &QTimer::timeout, [this] { Poll(); });
    timer_->start(5);
}

DialogScript::~DialogScript() {
    delete timer_;
}

void DialogScript::Then(std::function<void(QWidget*)> action) {
    actions_.push_back(std::move(action));
}

QString DialogScript::Why() const {
    return QStringLiteral("%1 actions left; unexpected: %2")
        .arg(actions_.size())
        .arg(unexpected.join(QStringLiteral(", ")));
}

void DialogScript::Poll() {
    // A dialog acted on is closing until it is seen hidden; meanwhile it may be the active one
    // again, for instance after the overwrite prompt it opened has been answered.
    std::erase_if(acting_,
                  [](const Acting& a) { return a.dialog.isNull() || !a.dialog->isVisible(); });
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || !dialog->isVisible()) return;
    for (const Acting& a : acting_) {
        if (a.dialog != dialog) continue;
        // One that stays open means the action did not take, and the test would hang. Slow
        // builds (sanitizers) and actions that type as a person does take their time.
        if (a.since.elapsed() < 15000) return;
        unexpected << "still open: " + dialog->windowTitle();
        dialog->close();
        return;
    }
    acting_.push_back({dialog, {}});
    acting_.back().since.start();
    if (actions_.empty()) {
        unexpected << dialog->windowTitle();
        QTest::keyClick(dialog, Qt::Key_Escape);
        return;
    }
    auto action = std::move(actions_.front());
    actions_.pop_front();
    action(dialog);
}

std::function<void(QWidget*)> PressEnter() {
    return [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); };
}

std::function<void(QWidget*)> PressEscape() {
    return [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); };
}

std::function<void(QWidget*)> ChooseItem(int item) {
    return [item](QWidget* dialog) {
        RadioGroupOf(dialog)->SetItemIndex(item);
        QTest::keyClick(dialog, Qt::Key_Return);
    };
}

std::function<void(QWidget*)> NoteItemAndEnter(int* seen) {
    return [seen](QWidget* dialog) {
        *seen = RadioGroupOf(dialog)->ItemIndex();
        QTest::keyClick(dialog, Qt::Key_Return);
    };
}

std::function<void(QWidget*)> PickFile(const QString& path, QString* proposed,
                                       std::function<void()> accepted) {
    return [path, proposed, accepted](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (files == nullptr || name == nullptr) throw std::logic_error("expected a file dialog");
        if (proposed != nullptr) *proposed = name->text();
        // Typed as a whole path, as a user may: it does not depend on the folder the dialog
        // shows, which may be one of an earlier test that is gone.
        name->setText(path);
        // Queued, so that an overwrite prompt opened by accept is answered by the next action.
        QMetaObject::invokeMethod(
            files,
            [files, accepted] {
                QMetaObject::invokeMethod(files, "accept");
                if (accepted) accepted();
            },
            Qt::QueuedConnection);
    };
}

std::function<void(QWidget*)> AnswerYes() {
    return [](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (box == nullptr) throw std::logic_error("expected a message box");
        QMetaObject::invokeMethod(box->button(QMessageBox::Yes), &QAbstractButton::click,
                                  Qt::QueuedConnection);
    };
}

}  // namespace windowtest
