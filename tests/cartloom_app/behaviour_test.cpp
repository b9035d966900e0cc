// What the window shows and does around the operations: no backup of a slot without a
// cartridge, a window that stays painted and counting through a chip erase, the game's data
// written back after a failed sector erase, and a title kept inside its dialog.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "cartloom/app/backup_data_size_dialog.h"
#include "cartloom/app/dialog_parts.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/save_data_size_dialog.h"
#include "cartloom/link/flash.h"
#include "cartloom/ops/operation_state.h"
#include "tests/support/recording_port.h"
#include "tests/window_rig/dialog_script.h"
#include "tests/window_rig/test_main.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

class BehaviourTest : public QObject {
    Q_OBJECT

  private slots:
    void noBackupWithoutACartridge();
    void eraseKeepsTheWindowPaintedAndCounting();
    void failedSectorEraseStillWritesTheGameBack();
    void clicksOnGreyedButtonsAreDroppedNotDeferred();
    void titleStaysInsideItsDialog_data();
    void titleStaysInsideItsDialog();
};

// A linker without a cartridge reads 0x00 everywhere: no header, and nothing answers the ID
// check. A file of that would pass its own verify.
void BehaviourTest::noBackupWithoutACartridge() {
    WindowRig rig(Blank(k32Mbit), "nocart");
    rig.FirstTick();
    DialogScript script;
    rig.form().Backup->click();
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.Why()));
    QCOMPARE(rig.LogSince(), (QStringList{"No NGPC Cart found!!!", "Backup Cancel!!!", ""}));
    QVERIFY(rig.form().Backup->isEnabled());
}

// The erase pumps messages like programming does: the caption is painted, the seconds count,
// Stop waits for the erase to end, and the buttons stay greyed. The erase here would take far
// longer than the test: once all that was seen, the cable is pulled.
void BehaviourTest::eraseKeepsTheWindowPaintedAndCounting() {
    WindowRig rig(Blank(k32Mbit), "erase-reads=2000000000");
    rig.FirstTick();
    TForm1& f = rig.form();
    QStringList seconds;
    bool stopped = false, greyed = true;
    std::unique_ptr<portio::PortBackend> plugged;
    QElapsedTimer since;
    since.start();
    std::uint64_t reads_after_stop = 0;
    rig.on_port_read = [&] {
        if (plugged || f.Label2->text() != QStringLiteral("Erasing...")) return;
        if (seconds.isEmpty() || seconds.last() != f.Label3->text()) seconds << f.Label3->text();
        greyed = greyed && !f.Write->isEnabled() && !f.Exit->isEnabled() && f.Stop->isEnabled();
        if (stopped) ++reads_after_stop;
        if (!stopped && seconds.size() >= 2) {
            stopped = true;
            QMetaObject::invokeMethod(f.Stop, &QToolButton::click, Qt::QueuedConnection);
        }
        if ((stopped && reads_after_stop > 100000) || since.elapsed() > 20000) {
            plugged = portio::InstallBackend(std::make_unique<testsupport::RecordingPort>());
        }
    };
    DialogScript script;
    script.Then(PressEnter());
    f.Erase->click();
    QVERIFY_SCRIPT(script);
    portio::InstallBackend(std::move(plugged));
    QVERIFY2(seconds.size() >= 2, qPrintable(seconds.join(',')));
    QCOMPARE(seconds.first(), QStringLiteral("0 Sec"));
    QVERIFY(greyed);
    QVERIFY(StopRequested);
    QVERIFY(reads_after_stop > 100000);  // the erase went on after Stop
    QCOMPARE(rig.LogSince(),
             (QStringList{"Flash Linker not answering!!!", "chip1 erase error!", "", ""}));
}

// The first sector erase of a 32K restore on a 4 Mbit game clears the whole 64 KB sector, the
// game's last 32 KB included, then fails: that data goes back all the same.
void BehaviourTest::failedSectorEraseStillWritesTheGameBack() {
    const Bytes cart = MakeCart(k16Mbit, 4);
    WindowRig rig(cart, "erase-timeout=1");
    rig.FirstTick();
    EraseReadLimit = 20000;
    const QString path = rig.WriteFile(QStringLiteral("save.bin"), Pattern(0x8000, 3));
    QVERIFY(rig.ClickAndChoose(rig.form().RestoreData, path));
    QCOMPARE(rig.LogSince(), (QStringList{"File size = 32768", "Erase Data Error!!!", ""}));
    const Bytes after = rig.Cart();
    QVERIFY(Slice(after, 0, 0x78000) == Slice(cart, 0, 0x78000));
    QCOMPARE(rig.stats().sector_erases, 1u);
}

// Clicks that reached the window while its buttons were greyed, and that it had no chance to
// handle then, are dropped when the operation ends instead of acting on the buttons it enables.
// (Exit, which would end this process, has a test of its own in a child process.)
void BehaviourTest::clicksOnGreyedButtonsAreDroppedNotDeferred() {
    WindowRig rig;
    rig.FirstTick();
    TForm1& f = rig.form();
    int clicked = 0;
    for (QToolButton* b : {f.Write, f.Erase}) {
        connect(b, &QToolButton::clicked, [&clicked] { ++clicked; });
    }
    BeginOperation();
    QueueClick(f.Write);
    QueueClick(f.Erase);
    DialogScript script;
    EndOperation();
    QTest::qWait(50);
    QCOMPARE(clicked, 0);
    QVERIFY(script.unexpected.isEmpty());
    QVERIFY(f.Write->isEnabled() && f.Exit->isEnabled());
}

void BehaviourTest::titleStaysInsideItsDialog_data() {
    QTest::addColumn<QString>("title");
    QTest::newRow("short") << "SAMPLE GAME";
    QTest::newRow("thirteen wide letters") << "WWWWWWWWWWWWW";
    QTest::newRow("thirteen narrow letters") << "iiiiiiiiiiiii";
}

void BehaviourTest::titleStaysInsideItsDialog() {
    QFETCH(QString, title);
    WindowRig rig;
    for (QDialog* dialog :
         {static_cast<QDialog*>(BackupDataSizeDialog), static_cast<QDialog*>(SaveDataSizeDialog)}) {
        auto* name = dialog->findChild<QLabel*>(QStringLiteral("GameName"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("OKBtn"));
        SetGameName(name, title.toStdString());
        QVERIFY2(name->geometry().right() < ok->geometry().left(), qPrintable(title));
        QVERIFY(name->sizeHint().width() <= name->width());
        QCOMPARE(name->toolTip(), "GameName=" + title);
        QVERIFY(name->text().startsWith(QStringLiteral("GameName=")));
    }
}

CARTLOOM_TEST_MAIN(BehaviourTest)
#include "behaviour_test.moc"
