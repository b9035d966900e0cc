// The window under a real X server (Xvfb), used as a person uses it, through xdotool: a name
// typed into the file dialog and Return pressed while the list of matching names shows, and
// clicks on greyed buttons during an erase.
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "cartloom/app/application.h"
#include "cartloom/app/form1.h"
#include "cartloom/ops/operation_state.h"
#include "tests/support/recording_port.h"
#include "tests/window_rig/dialog_script.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

namespace {

// Runs xdotool while the window goes on handling what it does to it.
bool XDo(const QStringList& args) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), args);
    if (!xdotool.waitForStarted(5000)) return false;
    QElapsedTimer since;
    since.start();
    while (!xdotool.waitForFinished(10) && since.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

bool ClickOn(QWidget* w) {
    const QPoint at = w->mapToGlobal(w->rect().center());
    return XDo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

QList<QWidget*> VisiblePopups() {
    QList<QWidget*> shown;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowType() == Qt::Popup) shown << w;
    }
    return shown;
}

// Types `path` into the file dialog and presses Return once the list of matching names shows.
std::function<void(QWidget*)> TypeAndReturn(const QString& path, bool* listed) {
    return [path, listed](QWidget* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        name->setFocus();
        QVERIFY(XDo({"type", "--delay", "10", path}));
        QTRY_VERIFY_WITH_TIMEOUT(name->text() == path && !VisiblePopups().isEmpty(), 15000);
        *listed = true;
        QVERIFY(XDo({"key", "Return"}));
    };
}

}  // namespace

class X11Test : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
            QSKIP("needs an X server (run under xvfb-run)");
        }
        QVERIFY2(XDo({"version"}), "xdotool is needed");
    }

    // After the dialog has closed nothing of it is left on screen, and the next click reaches
    // the window.
    void theNameListLeavesWithItsDialog() {
        WindowRig rig(Blank(k32Mbit));
        rig.FirstTick();
        TForm1& f = rig.form();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const QString path = rig.WriteFile(QStringLiteral("game.ngp"), GameImage(0x8000));
        bool listed = false;
        DialogScript script;
        script.Then(TypeAndReturn(path, &listed));
        f.Write->click();
        QVERIFY_SCRIPT(script);
        QVERIFY(listed);
        QCOMPARE(rig.Log().at(rig.Log().size() - 3), QStringLiteral("File Verify Completed"));
        QTest::qWait(300);  // a list filled in late would show now
        QCOMPARE(VisiblePopups(), QList<QWidget*>{});
        QVERIFY(ClickOn(f.Info));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Log().join('\n').contains(" Cart found"), 3000);
    }

    // Clicks on the greyed Write and Erase during a chip erase do nothing, then or later. The
    // erase would take far longer than the test; once the clicks were made and the window has
    // had time to see them, the cable is pulled.
    void clicksOnGreyedButtonsDuringAnEraseDoNothing() {
        WindowRig rig(Blank(k32Mbit), "erase-reads=2000000000");
        rig.FirstTick();
        TForm1& f = rig.form();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        bool clicked = false;
        QElapsedTimer since_clicks;
        std::unique_ptr<portio::PortBackend> plugged;
        rig.on_port_read = [&] {
            if (plugged || f.Label2->text() != QStringLiteral("Erasing...")) return;
            if (!clicked) {
                clicked = ClickOn(f.Write) && ClickOn(f.Erase);
                since_clicks.start();
            } else if (since_clicks.elapsed() > 500) {
                plugged = portio::InstallBackend(std::make_unique<testsupport::RecordingPort>());
            }
        };
        DialogScript script;
        script.Then(PressEnter());
        f.Erase->click();
        portio::InstallBackend(std::move(plugged));
        QVERIFY(clicked);
        QTest::qWait(300);
        QVERIFY_SCRIPT(script);  // no file dialog and no second erase question came up
        QCOMPARE(rig.LogSince(),
                 (QStringList{"Flash Linker not answering!!!", "chip1 erase error!", "", ""}));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    X11Test test;
    return QTest::qExec(&test, argc, argv);
}
#include "x11_test.moc"
