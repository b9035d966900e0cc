// Info, Erase and Backup, driven through the window's buttons and dialogs on a simulated
// cartridge file.
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

#include "cartloom/app/backup_data_size_dialog.h"
#include "cartloom/app/dialog_parts.h"
#include "cartloom/app/file_dialog.h"
#include "cartloom/app/form1.h"
#include "cartloom/ops/dump_file.h"
#include "cartloom/ops/operation_state.h"
#include "tests/window_rig/dialog_script.h"
#include "tests/window_rig/test_main.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

namespace {

QString Caption(bool colour, const QString& title) {
    return (colour ? QStringLiteral("color \"") : QStringLiteral("bw \"")) + title + '"';
}

// What a blank cartridge's first page reads as: a monochrome game named with 13 bytes 0xFF.
const QString kBlankCaption = Caption(false, QString(13, QChar(0xFF)));

// The first `bytes` of a cartridge read from address 0, where a small cartridge repeats itself.
Bytes Mirrored(const Bytes& cart, std::uint32_t bytes) {
    Bytes out(bytes);
    for (std::uint32_t i = 0; i < bytes; ++i) out[i] = cart[i % cart.size()];
    return out;
}

}  // namespace

class InfoEraseBackupTest : public QObject {
    Q_OBJECT

  private slots:
    void info_data();
    void info();
    void erase_data();
    void erase();
    void backup_data();
    void backup();
    void backupCancelled_data();
    void backupCancelled();
    void stopWhileBlock5IsRead();
    void fileThatCannotBeCreated();
    void fullDisk();
    void dumpFileName_data();
    void dumpFileName();
};

void InfoEraseBackupTest::info_data() {
    QTest::addColumn<int>("cart_bytes");
    QTest::addColumn<int>("game_mbit");
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QStringList>("log");
    const QString found = QStringLiteral(" Cart found");
    QTest::newRow("16 Mbit colour game")
        << int(k16Mbit) << 16 << true
        << QStringList{"16M " + Caption(true, "SAMPLE GAME") + found, ""};
    QTest::newRow("8 Mbit bw game on 32 Mbit")
        << int(k32Mbit) << 8 << false
        << QStringList{"8M " + Caption(false, "SAMPLE GAME") + found, ""};
    QTest::newRow("32 Mbit game") << int(k32Mbit) << 32 << true
                                  << QStringList{"32M " + Caption(true, "SAMPLE GAME") + found, ""};
    QTest::newRow("4 Mbit game on 16 Mbit")
        << int(k16Mbit) << 4 << true
        << QStringList{"4M " + Caption(true, "SAMPLE GAME") + found, ""};
    QTest::newRow("no header") << int(k16Mbit) << 0 << true
                               << QStringList{"No NGPC Cart found!!!", ""};
}

void InfoEraseBackupTest::info() {
    QFETCH(int, cart_bytes);
    QFETCH(int, game_mbit);
    QFETCH(bool, colour);
    QFETCH(QStringList, log);
    const Bytes cart = MakeCart(std::uint32_t(cart_bytes), unsigned(game_mbit), colour);
    WindowRig rig(cart);
    rig.FirstTick();
    rig.form().Info->click();
    QCOMPARE(rig.LogSince(), log);
    QVERIFY(rig.form().Info->isEnabled());
    QCOMPARE(rig.stats().program_commands, 0u);
    QCOMPARE(rig.stats().sector_erases + rig.stats().chip_erases, 0u);
    rig.Report(QTest::currentDataTag());
}

void InfoEraseBackupTest::erase_data() {
    QTest::addColumn<int>("cart_bytes");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("chip_erases");
    QTest::newRow("16 Mbit, Enter")
        << int(k16Mbit) << true << QStringList{"Erase All Data Ok", ""} << 1;
    QTest::newRow("32 Mbit, Enter")
        << int(k32Mbit) << true << QStringList{"Erase All Data Ok", ""} << 2;
    QTest::newRow("Escape") << int(k32Mbit) << false << QStringList{"Erase All Data Cancel", ""}
                            << 0;
}

void InfoEraseBackupTest::erase() {
    QFETCH(int, cart_bytes);
    QFETCH(bool, confirm);
    QFETCH(QStringList, log);
    QFETCH(int, chip_erases);
    const Bytes cart = MakeCart(std::uint32_t(cart_bytes), 16);
    WindowRig rig(cart);
    rig.FirstTick();
    DialogScript script;
    script.Then(confirm ? PressEnter() : PressEscape());
    rig.form().Erase->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(rig.LogSince(), log);
    QCOMPARE(rig.stats().chip_erases, std::uint64_t(chip_erases));
    QCOMPARE(rig.stats().program_commands, 0u);
    QCOMPARE(rig.stats().sector_erases, 0u);
    if (confirm) {
        QVERIFY(rig.Cart() == Bytes(cart.size(), 0xFF));
    } else {
        QVERIFY(rig.Cart() == cart);
    }
    rig.Report(QTest::currentDataTag());
}

void InfoEraseBackupTest::backup_data() {
    QTest::addColumn<int>("cart_bytes");
    QTest::addColumn<int>("game_mbit");
    QTest::addColumn<int>("preselected");  // item the dialog opens with
    QTest::addColumn<int>("choice");       // item chosen, -1 to keep the proposal
    QTest::addColumn<QString>("size_line");
    QTest::addColumn<QStringList>("header_lines");  // logged by the header read
    QTest::addColumn<QString>("proposed_name");
    QTest::addColumn<QStringList>("verify_lines");
    const QStringList verified{"Process time = # Sec", "File Verify Completed"};
    const QString sample = Caption(true, "SAMPLE GAME");
    QTest::newRow("16 Mbit game") << int(k16Mbit) << 16 << 2 << -1 << "16M " + sample
                                  << QStringList{} << "SAMPLE GAME" << verified;
    // Past its end a cartridge reads as its start again, for the save and the verify alike.
    QTest::newRow("32M over a 16 Mbit cart") << int(k16Mbit) << 16 << 2 << 3 << "32M " + sample
                                             << QStringList{} << "SAMPLE GAME" << verified;
    QTest::newRow("8 Mbit game on 32 Mbit") << int(k32Mbit) << 8 << 1 << -1 << "8M " + sample
                                            << QStringList{} << "SAMPLE GAME" << verified;
    // Nothing tells where a game would end: the whole cartridge is proposed, under no name.
    QTest::newRow("no header") << int(k32Mbit) << 0 << 3 << -1 << "32M " + kBlankCaption
                               << QStringList{"No NGPC Cart found!!!"} << "" << verified;
}

void InfoEraseBackupTest::backup() {
    QFETCH(int, cart_bytes);
    QFETCH(int, game_mbit);
    QFETCH(int, preselected);
    QFETCH(int, choice);
    QFETCH(QString, size_line);
    QFETCH(QStringList, header_lines);
    QFETCH(QString, proposed_name);
    QFETCH(QStringList, verify_lines);
    const Bytes cart = MakeCart(std::uint32_t(cart_bytes), unsigned(game_mbit));
    WindowRig rig(cart);
    rig.FirstTick();
    // The dialog must open with the detected size, not with what was chosen last time.
    BackupDataSizeDialog->BackupDataSize->SetItemIndex(preselected == 0 ? 1 : 0);
    const QString path = rig.Path("backup.ngp");
    int seen = -1;
    QString proposed = "unset";
    DialogScript script;
    script.Then(choice < 0 ? NoteItemAndEnter(&seen) : [&](QWidget* dialog) {
        seen = BackupDataSizeDialog->BackupDataSize->ItemIndex();
        ChooseItem(choice)(dialog);
    });
    script.Then(PickFile(path, &proposed));
    rig.form().Backup->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(seen, preselected);
    QCOMPARE(proposed, proposed_name);
    QCOMPARE(BackupDataSizeDialog->GameName->text().left(9), QStringLiteral("GameName="));

    const int item = choice < 0 ? preselected : choice;
    const std::uint32_t blocks = 16u << item;
    QStringList log = header_lines;
    log << size_line << "File Name : " + path
        << QStringLiteral("%1Mbits file saving...").arg(blocks / 4) << "Process time = # Sec"
        << "File Save Completed" << QStringLiteral("File size = %1").arg(blocks * kBlock)
        << verify_lines << ""
        << "";
    QCOMPARE(rig.LogSince(), log);
    const Bytes file = ReadFile(path);
    QCOMPARE(file.size(), std::size_t{blocks} * kBlock);
    QVERIFY(file == Mirrored(cart, blocks * kBlock));
    // The backup becomes the window's current image.
    QCOMPARE(QString::fromStdString(OpenDialog1FileName), path);
    QCOMPARE(rig.stats().program_commands, 0u);
    QCOMPARE(rig.stats().sector_erases + rig.stats().chip_erases, 0u);
    QVERIFY(rig.Cart() == cart);
    rig.Report(QTest::currentDataTag());
}

void InfoEraseBackupTest::backupCancelled_data() {
    QTest::addColumn<bool>("in_size_dialog");
    QTest::newRow("size dialog") << true;
    QTest::newRow("file dialog") << false;
}

void InfoEraseBackupTest::backupCancelled() {
    QFETCH(bool, in_size_dialog);
    WindowRig rig(MakeCart(k16Mbit, 16));
    rig.FirstTick();
    DialogScript script;
    if (!in_size_dialog) script.Then(PressEnter());
    script.Then(PressEscape());
    rig.form().Backup->click();
    QVERIFY_SCRIPT(script);
    QStringList log;
    if (!in_size_dialog) log << "16M " + Caption(true, "SAMPLE GAME");
    log << "Backup Cancel!!!"
        << "";
    QCOMPARE(rig.LogSince(), log);
    QVERIFY(!QFile::exists(rig.Path("SAMPLE GAME")));
    QVERIFY(rig.form().Backup->isEnabled());
}

void InfoEraseBackupTest::stopWhileBlock5IsRead() {
    const Bytes cart = MakeCart(k16Mbit, 16);
    WindowRig rig(cart);
    rig.FirstTick();
    // A click on Stop arrives while block 5 is read; the window sees it at its next pump.
    bool clicked = false;
    rig.on_port_read = [&] {
        const std::uint32_t addr = rig.device().LatchedAddress();
        if (clicked || !Busy || addr < 5 * kBlock || addr >= 6 * kBlock) return;
        clicked = true;
        QMetaObject::invokeMethod(
            rig.form().Stop, [&] { rig.form().Stop->click(); }, Qt::QueuedConnection);
    };
    const QString path = rig.Path("stopped.ngp");
    DialogScript script;
    script.Then(PressEnter());
    script.Then(PickFile(path));
    rig.form().Backup->click();
    QVERIFY_SCRIPT(script);
    QVERIFY(clicked);
    const Bytes file = ReadFile(path);
    QCOMPARE(file.size(), std::size_t{6} * kBlock);
    QVERIFY(file == Slice(cart, 0, 6 * kBlock));
    QCOMPARE(rig.LogSince(),
             (QStringList{"16M " + Caption(true, "SAMPLE GAME"), "File Name : " + path,
                          "16Mbits file saving...", "Stop process !!!", "File Save Abort!!!",
                          "File size = 196608", "Process time = # Sec", "File Verify Completed", "",
                          ""}));
    QCOMPARE(rig.form().ProgressBar1->value(), 0);
    QCOMPARE(ImageFile, nullptr);
    rig.Report("stop while block 5 is read");
}

void InfoEraseBackupTest::fileThatCannotBeCreated() {
    WindowRig rig(MakeCart(k16Mbit, 16));
    rig.FirstTick();
    const QString path = rig.Path("no-such-folder/backup.ngp");
    DialogScript script;
    script.Then(PressEnter());
    script.Then(PickFile(path));
    rig.form().Backup->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(rig.LogSince(),
             (QStringList{"16M " + Caption(true, "SAMPLE GAME"), "File Name : " + path,
                          "File Open Error!!!", "Backup Cancel!!!", ""}));
    QCOMPARE(rig.BytesRead(), std::uint64_t{256 + 2 * kBlock});  // the header read only
    QCOMPARE(ImageFile, nullptr);
    QVERIFY(rig.form().Backup->isEnabled());
}

void InfoEraseBackupTest::fullDisk() {
    if (!QFile::exists("/dev/full")) QSKIP("no /dev/full here");
    WindowRig rig(MakeCart(k16Mbit, 16));
    rig.FirstTick();
    DialogScript script;
    script.Then(PressEnter());
    script.Then(PickFile("/dev/full"));
    script.Then(AnswerYes());  // it exists: the dialog asks before replacing it
    rig.form().Backup->click();
    QVERIFY_SCRIPT(script);
    const QStringList log = rig.LogSince();
    QCOMPARE(log, (QStringList{"16M " + Caption(true, "SAMPLE GAME"), "File Name : /dev/full",
                               "16Mbits file saving...", "File Save Abort!!!", ""}));
    QCOMPARE(rig.form().ProgressBar1->value(), 0);
    QCOMPARE(ImageFile, nullptr);
    QVERIFY(rig.form().Backup->isEnabled());
}

void InfoEraseBackupTest::dumpFileName_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "SAMPLE GAME"
                           << "SAMPLE GAME";
    QTest::newRow("slash makes no path") << "A/B"
                                         << "A_B";
    QTest::newRow("reserved characters") << "W:\\X*Y?<Z>|\""
                                         << "W__X_Y__Z___";
    QTest::newRow("control characters") << QString("T\tU") + QChar(0x7F) + QChar(0x85) + "V"
                                        << "T_U__V";
    QTest::newRow("padding") << "  PADDED   "
                             << "PADDED";
    QTest::newRow("parent folder") << ".."
                                   << "__";
    QTest::newRow("dots inside stay") << "V1.2"
                                      << "V1.2";
    QTest::newRow("Latin-1 letters stay")
        << QString("CAF") + QChar(0xC9) << QString("CAF") + QChar(0xC9);
    QTest::newRow("empty") << ""
                           << "";
}

void InfoEraseBackupTest::dumpFileName() {
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(DumpFileName(title.toStdString())), name);
}

CARTLOOM_TEST_MAIN(InfoEraseBackupTest)
#include "info_erase_backup_test.moc"
