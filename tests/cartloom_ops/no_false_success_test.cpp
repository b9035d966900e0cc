// No false success and nothing lost, driven through the window: a linker that stops answering
// anywhere in an operation ends it as a failure, a file the user had is replaced only by a
// complete and verified one, hostile files are refused without blocking, and closing the window
// stops the operation first.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "cartloom/app/form1.h"
#include "cartloom/ops/operation_state.h"
#include "tests/window_rig/dialog_script.h"
#include "tests/window_rig/test_main.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

namespace {

const QString kLinkLost = QStringLiteral("Flash Linker not answering!!!");
const Bytes kOldFile(1000, 'o');  // what stood at the name before a save

std::uint64_t Accesses(const WindowRig& rig) {
    return rig.stats().port_reads + rig.stats().port_writes;
}

// Temporary files a save left in `folder`.
QStringList Leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
}

struct Flow {
    const char* name;
    const char* button;
    // The file the flow reads or saves, written before the run; empty for none.
    std::function<Bytes(const Bytes& cart)> file;
    // Queues the answers to the flow's dialogs; `path` is the flow's file.
    std::function<void(DialogScript&, const QString& path)> answers;
    const char* success;  // a line that only an operation that succeeded logs
    bool saves;           // the flow saves over the file
};

const Flow kFlows[] = {
    {"write", "Write", [](const Bytes&) { return GameImage(0x40000); },
     [](DialogScript& s, const QString& p) { s.Then(PickFile(p)); }, "File Verify Completed",
     false},
    {"verify", "Verify", [](const Bytes& cart) { return Slice(cart, 0, 0x80000); },
     [](DialogScript& s, const QString& p) { s.Then(PickFile(p)); }, "File Verify Completed",
     false},
    {"info", "Info", nullptr, [](DialogScript&, const QString&) {}, " Cart found", false},
    {"erase", "Erase", nullptr, [](DialogScript& s, const QString&) { s.Then(PressEnter()); },
     "Erase All Data Ok", false},
    {"backup", "Backup", [](const Bytes&) { return kOldFile; },
     [](DialogScript& s, const QString& p) {
         s.Then(PressEnter());
         s.Then(PickFile(p));
         s.Then(AnswerYes());
     },
     "File Verify Completed", true},
    {"save data", "SaveData", [](const Bytes&) { return kOldFile; },
     [](DialogScript& s, const QString& p) {
         s.Then(ChooseItem(0));
         s.Then(PickFile(p));
         s.Then(AnswerYes());
     },
     "File Verify Completed", true},
    {"restore data", "RestoreData", [](const Bytes&) { return Pattern(0x8000, 4); },
     [](DialogScript& s, const QString& p) { s.Then(PickFile(p)); }, "File Verify Completed",
     false},
};

struct Run {
    QStringList log;
    Bytes file;  // the flow's file afterwards
    QStringList leftovers;
    std::uint64_t accesses_before = 0;
    std::uint64_t accesses_after = 0;
};

Run RunFlow(const Flow& flow, const Bytes& cart, const std::string& options) {
    WindowRig rig(cart, options);
    rig.Tick();
    rig.form().Timer1->stop();  // no idle tick may take the unplug point meant for the flow
    const QString path = rig.Path(QStringLiteral("file.bin"));
    if (flow.file) rig.WriteFile(QStringLiteral("file.bin"), flow.file(cart));
    Run run;
    run.accesses_before = Accesses(rig);
    {
        DialogScript script;
        flow.answers(script, path);
        rig.form().findChild<QToolButton*>(QString::fromLatin1(flow.button))->click();
    }
    run.accesses_after = Accesses(rig);
    run.log = rig.LogSince();
    run.file = ReadFile(path);
    run.leftovers = Leftovers(rig.Path(QString()));
    return run;
}

bool HasLine(const QStringList& log, const char* text) {
    for (const QString& line : log) {
        if (line.contains(QString::fromLatin1(text))) return true;
    }
    return false;
}

}  // namespace

class NoFalseSuccessTest : public QObject {
    Q_OBJECT

  private slots:
    void linkLostAnywhereEndsTheOperationAsAFailure_data();
    void linkLostAnywhereEndsTheOperationAsAFailure();
    void aBackupWhoseVerifyFailsIsNotKept();
    void backupTargets_data();
    void backupTargets();
    void aFifoIsNoImage();
    void closingDuringAWriteStopsItThenCloses();
};

void NoFalseSuccessTest::linkLostAnywhereEndsTheOperationAsAFailure_data() {
    QTest::addColumn<int>("flow");
    for (int i = 0; i < int(std::size(kFlows)); ++i) QTest::newRow(kFlows[i].name) << i;
}

// The linker is pulled at five points spread over the flow's own port accesses.
void NoFalseSuccessTest::linkLostAnywhereEndsTheOperationAsAFailure() {
    QFETCH(int, flow);
    const Flow& f = kFlows[flow];
    const Bytes cart = MakeCart(k16Mbit, 4);
    const Run clean = RunFlow(f, cart, "");
    QVERIFY2(HasLine(clean.log, f.success), qPrintable(clean.log.join('\n')));
    const std::uint64_t span = clean.accesses_after - clean.accesses_before;
    int failures = 0, false_successes = 0;
    for (std::uint64_t k = 1; k <= 5; ++k) {
        const std::uint64_t at = clean.accesses_before + span * k / 6;
        const Run run = RunFlow(f, cart, "unplug-after=" + std::to_string(at));
        const QString context = QStringLiteral("unplugged after %1 of %2 accesses:\n  %3")
                                    .arg(at - clean.accesses_before)
                                    .arg(span)
                                    .arg(run.log.join(QStringLiteral("\n  ")));
        if (HasLine(run.log, f.success)) ++false_successes;
        if (run.log.contains(kLinkLost)) ++failures;
        QVERIFY2(!HasLine(run.log, f.success), qPrintable(context));
        QVERIFY2(run.log.contains(kLinkLost), qPrintable(context));
        if (f.saves) {
            QVERIFY2(run.file == kOldFile, qPrintable(context));
            QVERIFY2(run.leftovers.isEmpty(), qPrintable(run.leftovers.join(' ')));
        }
    }
    if (!qEnvironmentVariableIsEmpty("OPS_REPORT")) {
        std::printf("%-13s runs 5, clean failures %d, false successes %d\n", f.name, failures,
                    false_successes);
    }
}

// The cartridge changes under the verify of a new backup: the old file stays.
void NoFalseSuccessTest::aBackupWhoseVerifyFailsIsNotKept() {
    WindowRig rig(MakeCart(k16Mbit, 4));
    rig.FirstTick();
    const QString path = rig.WriteFile(QStringLiteral("backup.ngp"), kOldFile);
    bool changed = false;
    rig.on_port_read = [&] {
        if (changed || rig.form().Label2->text() != QStringLiteral("File Verifying...")) return;
        changed = true;
        QFile cart(rig.Path(QStringLiteral("cart.bin")));
        QVERIFY(cart.open(QIODevice::ReadWrite) && cart.seek(0x100) && cart.write("!", 1) == 1);
    };
    DialogScript script;
    script.Then(PressEnter());
    script.Then(PickFile(path));
    script.Then(AnswerYes());
    rig.form().Backup->click();
    QVERIFY_SCRIPT(script);
    const QStringList log = rig.LogSince();
    QCOMPARE(log.mid(log.size() - 5), (QStringList{"Verify Cart error at 0", "File Verify Abort!!!",
                                                   "", "File Save Abort!!!", ""}));
    QVERIFY(ReadFile(path) == kOldFile);
    QCOMPARE(Leftovers(rig.Path(QString())), QStringList{});
}

void NoFalseSuccessTest::backupTargets_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("saved");
    QTest::newRow("symbolic link: its target is replaced") << "symlink" << true;
    QTest::newRow("FIFO: refused without waiting for a reader") << "fifo" << false;
    QTest::newRow("read-only file: kept") << "read-only" << false;
    QTest::newRow("the cartridge file itself") << "cartridge" << false;
}

void NoFalseSuccessTest::backupTargets() {
    QFETCH(QString, kind);
    QFETCH(bool, saved);
    if (kind == "read-only" && geteuid() == 0) QSKIP("root may write a read-only file");
    const Bytes cart = MakeCart(k16Mbit, 4);
    WindowRig rig(cart);
    rig.FirstTick();
    QString path = rig.Path(QStringLiteral("target"));
    const QString real = rig.WriteFile(QStringLiteral("real.ngp"), kOldFile);
    if (kind == "symlink") {
        QVERIFY(QFile::link(real, path));
    } else if (kind == "fifo") {
        QCOMPARE(mkfifo(path.toLocal8Bit().constData(), 0600), 0);
    } else if (kind == "read-only") {
        path = real;
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    } else {
        path = rig.Path(QStringLiteral("cart.bin"));
    }
    DialogScript script;
    script.Then(PressEnter());
    script.Then(PickFile(path));
    script.Then(AnswerYes());
    rig.form().Backup->click();
    QVERIFY_SCRIPT(script);
    const QStringList log = rig.LogSince();
    if (saved) {
        QCOMPARE(log.at(log.size() - 3), QStringLiteral("File Verify Completed"));
        QVERIFY(QFileInfo(path).isSymLink());
        QVERIFY(ReadFile(real) == Slice(cart, 0, 0x80000));
    } else {
        QCOMPARE(log.mid(1), (QStringList{"File Name : " + path, "File Open Error!!!",
                                          "Backup Cancel!!!", ""}));
        if (kind != "cartridge") QVERIFY(ReadFile(real) == kOldFile);
    }
    QVERIFY(rig.Cart() == cart);
    QCOMPARE(Leftovers(rig.Path(QString())), QStringList{});
}

void NoFalseSuccessTest::aFifoIsNoImage() {
    WindowRig rig(MakeCart(k16Mbit, 4));
    rig.FirstTick();
    const QString fifo = rig.Path(QStringLiteral("image.fifo"));
    QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    QVERIFY(rig.ClickAndChoose(rig.form().Verify, fifo));
    QCOMPARE(rig.LogSince(), QStringList{"File Open Error!!!"});
}

// Closing the window acts as Stop, for the write and its verify pass, and then closes it.
void NoFalseSuccessTest::closingDuringAWriteStopsItThenCloses() {
    WindowRig rig;
    rig.FirstTick();
    TForm1& f = rig.form();
    const QString path = rig.WriteFile(QStringLiteral("game.ngp"), GameImage(0x100000));
    bool closed_once = false;
    rig.on_port_read = [&] {
        if (closed_once || f.Label2->text() != QStringLiteral("Transfering File...")) return;
        closed_once = true;
        QMetaObject::invokeMethod(
            &f, [&] { QVERIFY(!f.close()); }, Qt::QueuedConnection);
    };
    QVERIFY(rig.ClickAndChoose(f.Write, path));
    QVERIFY(closed_once);
    const QStringList log = rig.LogSince();
    QCOMPARE(log.mid(3),
             (QStringList{"Stop process !!!", "File Transfer Abort!!!", "File size = 1048576",
                          "Stop process !!!", "File Verify Abort!!!", "", ""}));
    QTRY_VERIFY_WITH_TIMEOUT(!f.isVisible(), 2000);
    QVERIFY(!Busy);
}

CARTLOOM_TEST_MAIN(NoFalseSuccessTest)
#include "no_false_success_test.moc"
