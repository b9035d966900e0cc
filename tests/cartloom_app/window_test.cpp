// The main window: its controls, the idle and busy ticks with the LED and button rules, the
// operation helpers, Stop, Exit and the error box.
#include <signal.h>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <QDir>
#include <QFile>
#include <cstdio>
#include <stdexcept>

#include "cartloom/app/application.h"
#include "cartloom/app/backup_data_size_dialog.h"
#include "cartloom/app/erase_dlg.h"
#include "cartloom/app/file_dialog.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/save_data_size_dialog.h"
#include "cartloom/app/signals.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/operation_state.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

namespace {

QList<QToolButton*> CartButtons(TForm1& f) {
    return {f.Write, f.Verify, f.Info, f.Backup, f.Erase, f.SaveData, f.RestoreData};
}

// Which of the four LED pictures is visible: "", "RED", "REDX", "GRN" or "GRNX".
QString Led(TForm1& f) {
    QString shown;
    for (QLabel* l : {f.LED_RED, f.LED_REDX, f.LED_GRN, f.LED_GRNX}) {
        if (l->isVisible()) shown += l->objectName().mid(4);
    }
    return shown;
}

bool AllEnabled(const QList<QToolButton*>& buttons, bool enabled) {
    for (QToolButton* b : buttons) {
        if (b->isEnabled() != enabled) return false;
    }
    return true;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void controlsAtTheirPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Write") << "Write" << QRect(16, 16, 24, 24) << "Write data to Cart";
        QTest::newRow("Info") << "Info" << QRect(48, 16, 24, 24) << "Infomation";
        QTest::newRow("Erase") << "Erase" << QRect(80, 16, 24, 24) << "Erase All Data";
        QTest::newRow("SaveData") << "SaveData" << QRect(112, 16, 24, 24) << "Save Data to File";
        QTest::newRow("RestoreData")
            << "RestoreData" << QRect(144, 16, 24, 24) << "Restore Data From File";
        QTest::newRow("Backup") << "Backup" << QRect(176, 16, 24, 24) << "backup";
        QTest::newRow("Verify") << "Verify" << QRect(208, 16, 24, 24)
                                << "Verify Cart data with file";
        QTest::newRow("Stop") << "Stop" << QRect(272, 16, 24, 24) << "Stop Processing";
        QTest::newRow("Exit") << "Exit" << QRect(320, 16, 24, 24) << "Exit Program";
        QTest::newRow("Memo1") << "Memo1" << QRect(8, 64, 417, 185) << "";
        QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(16, 260, 349, 16) << "";
        for (const char* led : {"LED_RED", "LED_REDX", "LED_GRN", "LED_GRNX"}) {
            QTest::newRow(led) << led << QRect(400, 8, 16, 16) << "";
        }
    }
    void controlsAtTheirPlaces() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, hint);
        WindowRig rig;
        auto* w = rig.form().findChild<QWidget*>(name);
        QVERIFY(w != nullptr);
        QCOMPARE(w->geometry(), geometry);
        QCOMPARE(w->toolTip(), hint);
        if (auto* b = qobject_cast<QToolButton*>(w)) {
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
            QVERIFY(!b->icon().isNull());
            QVERIFY(b->text().isEmpty());
        }
    }

    void windowAfterStartup() {
        WindowRig rig(Blank(k32Mbit), "nolinker");
        TForm1& f = rig.form();
        QCOMPARE(f.windowTitle(), QStringLiteral("CARTLOOM Version 1.2"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("LOOM2"));
        QCOMPARE(f.size(), QSize(437, 305));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QCOMPARE(f.font().pointSize(), 8);
        QVERIFY(f.Memo1->isReadOnly());
        QCOMPARE(f.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(f.ProgressBar1->minimum(), 0);
        QCOMPARE(f.ProgressBar1->maximum(), 100);
        QCOMPARE(f.ProgressBar1->value(), 0);
        QCOMPARE(f.SaveDialog1->nameFilters(), QStringList{QStringLiteral("All files (*)")});
        QVERIFY(f.OpenDialog1->testOption(QFileDialog::DontUseNativeDialog));
        // The three dialogs exist, hidden, for the life of the window.
        QVERIFY(Erase_Dlg != nullptr && !Erase_Dlg->isVisible());
        QVERIFY(BackupDataSizeDialog != nullptr && SaveDataSizeDialog != nullptr);

        // End of start-up: every operation button and Exit enabled, Stop disabled, the LED
        // off, the labels empty, the log one empty line, and the first tick a second away.
        QVERIFY(AllEnabled(CartButtons(f), true));
        QVERIFY(f.Exit->isEnabled());
        QVERIFY(!f.Stop->isEnabled());
        QCOMPARE(Led(f), QString());
        for (QLabel* l : {f.padr, f.ptype, f.fsize, f.Label2, f.Label3})
            QVERIFY(l->text().isEmpty());
        QCOMPARE(rig.Log(), QStringList{QString()});
        QVERIFY(f.Timer1->isActive());
        QCOMPARE(f.Timer1->interval(), 1000);
        QVERIFY(StopRequested);
        QVERIFY(!Busy);
    }

    // The real timer: the first tick comes a second after start-up and finds no linker.
    void firstTickWithoutLinkerDisablesTheButtons() {
        WindowRig rig(Blank(k32Mbit), "nolinker");
        TForm1& f = rig.form();
        QVERIFY(f.Write->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!f.Write->isEnabled(), 3000);
        QVERIFY(AllEnabled(CartButtons(f), false));
        QVERIFY(f.Exit->isEnabled());
        QVERIFY(!f.Stop->isEnabled());
        QCOMPARE(f.Timer1->interval(), 500);
        QVERIFY(Led(f) == "RED" || Led(f) == "REDX");
    }

    void ledBlinksWhileSomethingIsMissing_data() {
        QTest::addColumn<QString>("opts");
        QTest::addColumn<QString>("lit");
        QTest::addColumn<QString>("dark");
        QTest::addColumn<bool>("buttonsAfter");
        QTest::addColumn<QString>("padr");
        QTest::addColumn<QString>("ptype");
        QTest::newRow("no linker") << "nolinker"
                                   << "RED"
                                   << "REDX" << false << ""
                                   << "";
        QTest::newRow("linker gone at once") << "unplug-after=0"
                                             << "RED"
                                             << "REDX" << false << ""
                                             << "";
        // Past the link test, in the middle of the cartridge's detection: the second chip seems
        // not to answer, but neither does the linker.
        QTest::newRow("linker gone during the detection") << "unplug-after=300"
                                                          << "RED"
                                                          << "REDX" << false << ""
                                                          << "";
        QTest::newRow("no cartridge") << "nocart"
                                      << "GRN"
                                      << "GRNX" << true << "378"
                                      << "EPP";
        QTest::newRow("no cartridge, SPP") << "nocart,spp"
                                           << "GRN"
                                           << "GRNX" << true << "378"
                                           << "SPP";
    }
    void ledBlinksWhileSomethingIsMissing() {
        QFETCH(QString, opts);
        QFETCH(QString, lit);
        QFETCH(QString, dark);
        QFETCH(bool, buttonsAfter);
        QFETCH(QString, padr);
        QFETCH(QString, ptype);
        WindowRig rig(Blank(k32Mbit), opts.toStdString());
        TForm1& f = rig.form();
        for (const QString& expected : {lit, dark, lit, dark}) {
            rig.Tick();
            QCOMPARE(Led(f), expected);
            QVERIFY(AllEnabled(CartButtons(f), buttonsAfter));
            QVERIFY(f.Exit->isEnabled());
            QCOMPARE(f.padr->text(), padr);
            QCOMPARE(f.ptype->text(), ptype);
            QVERIFY(f.fsize->text().isEmpty());
        }
        QCOMPARE(rig.Log(), QStringList{QString()});  // nothing is logged
    }

    // Without a port to work with the log says why, at the first tick and again only when the
    // reason changes.
    void portAccessProblemIsLoggedOnceAndWhenItChanges() {
        WindowRig rig(Blank(k32Mbit), "nolinker");
        portio::AccessResult refused;
        refused.outcome = portio::AccessOutcome::Refused;
        refused.reason = "cannot open /dev/parport0: Permission denied";
        SetPortAccess(refused);
        rig.Tick(3);
        const QString first =
            QStringLiteral("Port access: cannot open /dev/parport0: Permission denied");
        QCOMPARE(rig.Log(), (QStringList{QString(), first}));
        refused.reason = "the kernel knows no parallel port at 0x378";
        SetPortAccess(refused);
        rig.Tick(2);
        QCOMPARE(rig.Log(), (QStringList{QString(), first,
                                         QStringLiteral("Port access: the kernel knows no "
                                                        "parallel port at 0x378")}));
        SetPortAccess(portio::AccessResult{});
        rig.Tick();
        QCOMPARE(rig.Log().size(), 3);
    }

    void cartridgeShowsSteadyGreenAndItsSize_data() {
        QTest::addColumn<int>("cartBytes");
        QTest::addColumn<QString>("opts");
        QTest::addColumn<QString>("padr");
        QTest::addColumn<QString>("ptype");
        QTest::addColumn<QString>("fsize");
        QTest::addColumn<quint32>("cartSize");
        QTest::newRow("32M EPP") << 0x400000 << ""
                                 << "378"
                                 << "EPP"
                                 << "32M" << 0x400000u;
        QTest::newRow("16M EPP") << 0x200000 << ""
                                 << "378"
                                 << "EPP"
                                 << "16M" << 0x200000u;
        QTest::newRow("8 Mbit file") << 0x100000 << ""
                                     << "378"
                                     << "EPP"
                                     << "16M" << 0x200000u;
        QTest::newRow("32M SPP-only port") << 0x400000 << "spp"
                                           << "378"
                                           << "SPP"
                                           << "32M" << 0x400000u;
        QTest::newRow("32M at 278") << 0x400000 << "base=0x278"
                                    << "278"
                                    << "EPP"
                                    << "32M" << 0x400000u;
        QTest::newRow("32M at 3bc, never EPP") << 0x400000 << "base=0x3bc"
                                               << "3bc"
                                               << "SPP"
                                               << "32M" << 0x400000u;
    }
    void cartridgeShowsSteadyGreenAndItsSize() {
        QFETCH(int, cartBytes);
        QFETCH(QString, opts);
        QFETCH(QString, padr);
        QFETCH(QString, ptype);
        QFETCH(QString, fsize);
        QFETCH(quint32, cartSize);
        WindowRig rig(Blank(std::uint32_t(cartBytes)), opts.toStdString());
        TForm1& f = rig.form();
        for (int tick = 0; tick < 3; ++tick) {
            rig.Tick();
            QCOMPARE(Led(f), QStringLiteral("GRN"));
            QCOMPARE(f.padr->text(), padr);
            QCOMPARE(f.ptype->text(), ptype);
            QCOMPARE(f.fsize->text(), fsize);
            QVERIFY(AllEnabled(CartButtons(f), true));
            QVERIFY(!f.Stop->isEnabled());
        }
        QCOMPARE(CartSize, cartSize);
        QCOMPARE(rig.Log(), QStringList{QString()});
    }

    // A linker found once is the only one tested again: a cartridge pulled out leaves the
    // buttons as they were, a linker that stops answering disables them.
    void laterTicksFollowTheDevice() {
        WindowRig rig(Blank(k32Mbit), "unplug-after=3000");
        TForm1& f = rig.form();
        rig.Tick();
        QCOMPARE(f.fsize->text(), QStringLiteral("32M"));
        for (int i = 0; i < 20 && !f.padr->text().isEmpty(); ++i) rig.Tick();
        QVERIFY(f.padr->text().isEmpty());
        QVERIFY(f.fsize->text().isEmpty());
        QVERIFY(AllEnabled(CartButtons(f), false));
        QVERIFY(Led(f) == "RED" || Led(f) == "REDX");
        QCOMPARE(CartSize, 0x400000u);  // the last size seen is kept
    }

    void linkerPluggedInLaterEnablesTheButtons() {
        WindowRig rig(Blank(k32Mbit), "nolinker");
        TForm1& f = rig.form();
        rig.Tick();
        QVERIFY(AllEnabled(CartButtons(f), false));
        {
            testsupport::SimulatedLink plugged;  // a linker with a blank 32 Mbit cartridge
            rig.Tick();
            QCOMPARE(Led(f), QStringLiteral("GRN"));
            QCOMPARE(f.fsize->text(), QStringLiteral("32M"));
            QVERIFY(AllEnabled(CartButtons(f), true));
        }
    }

    void busyTickCountsSecondsWithoutTouchingThePort() {
        WindowRig rig;
        TForm1& f = rig.form();
        rig.Tick();
        QCOMPARE(f.Timer1->interval(), 500);
        BeginOperation();
        QVERIFY(Busy);
        QVERIFY(!StopRequested);
        QVERIFY(AllEnabled(CartButtons(f), false));
        QVERIFY(!f.Exit->isEnabled());
        QVERIFY(f.Stop->isEnabled());
        QCOMPARE(f.Label3->text(), QStringLiteral("0 Sec"));
        const QString led = Led(f);

        rig.port().set_recording(true);
        rig.Tick();
        rig.Tick();
        QVERIFY(rig.port().log.empty());
        QCOMPARE(ElapsedSeconds, std::int16_t{2});
        QCOMPARE(f.Label3->text(), QStringLiteral("2 Sec"));
        QCOMPARE(f.Timer1->interval(), 1000);
        QCOMPARE(Led(f), led);
        QVERIFY(f.Stop->isEnabled());

        f.Stop->click();
        QVERIFY(StopRequested);
        QVERIFY(Busy);  // Stop only asks; the loop ends the operation

        f.Label2->setText(QStringLiteral("Erasing..."));
        EndOperation();
        QVERIFY(!Busy);
        QVERIFY(StopRequested);
        QVERIFY(AllEnabled(CartButtons(f), true));
        QVERIFY(f.Exit->isEnabled());
        QVERIFY(!f.Stop->isEnabled());
        QVERIFY(f.Label2->text().isEmpty());
        QCOMPARE(rig.Log(), (QStringList{QString(), QString()}));

        rig.Tick();  // idle again: the count is cleared
        QCOMPARE(ElapsedSeconds, std::int16_t{0});
        QVERIFY(f.Label3->text().isEmpty());
    }

    void reportStopClearsTheBarAndReleasesTheLinker() {
        WindowRig rig;
        TForm1& f = rig.form();
        rig.Tick();
        BeginOperation();
        f.ProgressBar1->setValue(40);
        f.Label2->setText(QStringLiteral("Transfering File..."));
        rig.port().set_recording(true);
        ReportStop();
        QCOMPARE(f.ProgressBar1->value(), 0);
        QVERIFY(f.Label2->text().isEmpty());
        QVERIFY(f.Label3->text().isEmpty());
        QCOMPARE(rig.Log().last(), QStringLiteral("Stop process !!!"));
        QVERIFY(Busy);  // ReportStop does not end the operation
        // The linker is left idle: register 2 cleared, control 0x04.
        const auto& log = rig.port().log;
        QVERIFY(!log.empty());
        QCOMPARE(log.back(), testsupport::W(0x37A, 0x04));
        EndOperation();
    }

    // Closing acts as Stop; the window closes by itself once the operation has ended.
    void closingWhileBusyWaitsForTheOperation() {
        WindowRig rig;
        TForm1& f = rig.form();
        BeginOperation();
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        QVERIFY(StopRequested);
        EndOperation();
        QTRY_VERIFY_WITH_TIMEOUT(!f.isVisible(), 2000);
    }

    // A SIGTERM during a write closes the window as its frame does: the write stops, the
    // linker is given back, the simulator's counters are written, and the status tells why.
    void signalClosesTheWindowLikeStop() {
        QTemporaryDir dir;
        const QString stats = dir.filePath(QStringLiteral("stats.txt"));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CARTLOOM_TEST_CHILD"), QStringLiteral("signal"));
        env.insert(QStringLiteral("CARTLOOM_TEST_STATS"), stats);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList{});
        QVERIFY(child.waitForStarted(10000));
        QByteArray out;
        while (!out.contains("busy\n") && child.waitForReadyRead(30000)) out += child.readAll();
        QVERIFY2(out.contains("busy\n"), out.constData());
        QCOMPARE(::kill(pid_t(child.processId()), SIGTERM), 0);
        QVERIFY(child.waitForFinished(60000));
        out += child.readAll();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 128 + SIGTERM);
        QVERIFY2(out.contains("Stop process !!!\nFile Transfer Abort!!!\n"), out.constData());
        QVERIFY2(!out.contains("File Verify Completed"), out.constData());
        QVERIFY(QFile::exists(stats));
    }

    // Exit and an escaped exception both end the process with status 0; each runs in a child
    // process of this test program (see main).
    // A click on the greyed Exit that the window could not handle at once is dropped at the end
    // of the operation: the process goes on (the child says so with status 3).
    void greyedExitClickedDuringAnOperationDoesNotEndTheProgram() {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CARTLOOM_TEST_CHILD"), QStringLiteral("greyed-exit"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList{});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 3);
    }

    void processEndsWithStatusZero_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("shown");  // what the error box said, title|text
        QTest::newRow("Exit button") << "exit"
                                     << "";
        QTest::newRow("exception in a handler") << "exception"
                                                << "LOOM2|port gone";
    }
    void processEndsWithStatusZero() {
        QFETCH(QString, scenario);
        QFETCH(QString, shown);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CARTLOOM_TEST_CHILD"), scenario);
        // Ending at once skips the toolkit's own clean-up, whose font library then looks
        // leaked to a leak checker; the exit status is what counts here.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList{});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), shown);
    }
};

namespace {

// Runs a write in the event loop as the program does, until a signal closes the window; says
// "busy" once the write runs, then prints the log.
int CloseBySignal() {
    WindowRig rig(Blank(k32Mbit),
                  "stats=" + qEnvironmentVariable("CARTLOOM_TEST_STATS").toStdString());
    rig.FirstTick();
    CloseOnSignals(&rig.form());
    const QString path = rig.WriteFile(QStringLiteral("game.ngp"), GameImage(k16Mbit));
    bool told = false;
    rig.on_port_read = [&] {
        if (told || rig.form().Label2->text() != QStringLiteral("Transfering File...")) return;
        told = true;
        std::printf("busy\n");
        std::fflush(stdout);
    };
    QTimer::singleShot(0, &rig.form(), [&] { rig.ClickAndChoose(rig.form().Write, path); });
    QApplication::exec();
    for (const QString& line : rig.LogSince()) std::printf("%s\n", qPrintable(line));
    return ClosingSignal() != 0 ? 128 + ClosingSignal() : 0;
}

int ClickGreyedExit() {
    WindowRig rig;
    BeginOperation();
    QueueClick(rig.form().Exit);
    EndOperation();
    QTest::qWait(50);
    return 3;  // still here
}

int ClickExit() {
    WindowRig rig;
    rig.form().Exit->click();
    return 7;  // not reached when Exit works
}

// Throws from a timer handler and prints what the error box shows, closing it.
int ThrowFromHandler() {
    WindowRig rig;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        QWidget* box = QApplication::activeModalWidget();
        auto* text = box != nullptr ? box->findChild<QLabel*>("qt_msgbox_label") : nullptr;
        if (text == nullptr) return;
        std::printf("%s|%s", qPrintable(box->windowTitle()), qPrintable(text->text()));
        std::fflush(stdout);
        box->close();
    });
    closer.start(5);
    QTimer::singleShot(0, rig.form().Timer1, [] { throw std::runtime_error("port gone"); });
    QTest::qWait(10000);
    return 8;  // not reached when the box ends the process
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    const QByteArray child = qgetenv("CARTLOOM_TEST_CHILD");
    if (child == "exit") return ClickExit();
    if (child == "exception") return ThrowFromHandler();
    if (child == "signal") return CloseBySignal();
    if (child == "greyed-exit") return ClickGreyedExit();
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "window_test.moc"
