// Write and Verify through the real buttons and the real file dialog, against a simulated
// cartridge file: the log, the progress bar, what lands on the cartridge, and every refusal.
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "cartloom/app/form1.h"
#include "cartloom/link/flash.h"
#include "cartloom/ops/image_file.h"
#include "cartloom/ops/operation_state.h"
#include "tests/window_rig/test_main.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

namespace {

constexpr int k32M = 0x400000;
constexpr int k16M = 0x200000;

const QString kProcessTime = QStringLiteral("Process time = # Sec");

QStringList HeaderLines(int bytes) {
    return {QStringLiteral("File size = %1").arg(bytes), "Game Name : SAMPLE GAME",
            "Version : Color"};
}

QByteArray AsQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

Bytes AsBytes(const QByteArray& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

void ExpectIdle(TForm1& f) {
    QVERIFY(!Busy);
    QVERIFY(ImageFile == nullptr);
    QVERIFY(f.Write->isEnabled());
    QVERIFY(f.Exit->isEnabled());
    QVERIFY(!f.Stop->isEnabled());
    QVERIFY(f.Label2->text().isEmpty());
}

}  // namespace

class WriteVerifyTest : public QObject {
    Q_OBJECT

  private slots:
    void writeLogsEveryStepAndLeavesTheImage_data() {
        QTest::addColumn<int>("cartBytes");
        QTest::addColumn<int>("imageBytes");
        QTest::addColumn<int>("chipErases");
        QTest::newRow("32M cartridge") << k32M << 0x80000 << 2;
        QTest::newRow("16M cartridge: chip 2 is not erased") << k16M << 0x40000 << 1;
        QTest::newRow("one block on chip 2") << k32M << k16M + 0x8000 << 2;
    }
    void writeLogsEveryStepAndLeavesTheImage() {
        QFETCH(int, cartBytes);
        QFETCH(int, imageBytes);
        QFETCH(int, chipErases);
        WindowRig rig(Bytes(std::uint32_t(cartBytes), 'z'));  // old contents everywhere
        TForm1& f = rig.form();
        rig.Tick();
        const Bytes image = GameImage(std::uint32_t(imageBytes));
        const QString path = rig.WriteFile("game.ngp", image);
        QList<int> bar;
        connect(f.ProgressBar1, &QProgressBar::valueChanged, [&](int v) { bar << v; });

        QVERIFY(rig.ClickAndChoose(f.Write, path));

        QCOMPARE(rig.LogSince(), HeaderLines(imageBytes)
                                     << kProcessTime << "File Transfer Completed"
                                     << QStringLiteral("File size = %1").arg(imageBytes)
                                     << kProcessTime << "File Verify Completed"
                                     << ""
                                     << "");
        QVERIFY(rig.Cart() == CartWith(image, std::uint32_t(cartBytes)));
        QCOMPARE(rig.device().stats().chip_erases, std::uint64_t(chipErases));
        QCOMPARE(f.ProgressBar1->maximum(), imageBytes / 1024);
        QVERIFY(bar.contains(imageBytes / 1024));  // full at the end of the write
        QCOMPARE(bar.last(), 0);                   // and back to 0 after the verify
        QCOMPARE(QString::fromStdString(OpenDialog1FileName), path);
        ExpectIdle(f);
    }

    // Blocks past the cartridge's end would wrap onto its start.
    void imageLongerThanTheCartridgeIsRefusedBeforeErasing_data() {
        QTest::addColumn<int>("cartBytes");
        QTest::addColumn<int>("imageBytes");
        QTest::addColumn<bool>("detected");
        QTest::newRow("32 Mbit image, 16M cartridge") << k16M << k32M << true;
        QTest::newRow("one block over 4 MiB, 32M cartridge") << k32M << k32M + 0x8000 << true;
        QTest::newRow("one block over 4 MiB, size not known yet") << k32M << k32M + 0x8000 << false;
    }
    void imageLongerThanTheCartridgeIsRefusedBeforeErasing() {
        QFETCH(int, cartBytes);
        QFETCH(int, imageBytes);
        QFETCH(bool, detected);
        const Bytes old(std::uint32_t(cartBytes), 'z');
        WindowRig rig(old);
        TForm1& f = rig.form();
        if (detected) rig.Tick();
        const QString path = rig.WriteFile("big.ngp", GameImage(std::uint32_t(imageBytes)));

        QVERIFY(rig.ClickAndChoose(f.Write, path));

        QCOMPARE(rig.LogSince(), HeaderLines(imageBytes) << "file size over cart size!!!");
        QCOMPARE(rig.device().stats().chip_erases, std::uint64_t{0});
        QVERIFY(rig.Cart() == old);
        ExpectIdle(f);
    }

    void refusedFilesChangeNothing_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QStringList>("log");
        QByteArray noHeader = AsQByteArray(GameImage(0x8000));
        noHeader.replace(0, 28, QByteArray(28, 'x'));
        for (const char* button : {"Write", "Verify"}) {
            QTest::addRow("%s: empty file", button)
                << button << QByteArray() << false << QStringList{"file read error"};
            QTest::addRow("%s: one byte over 2 MiB", button)
                << button << AsQByteArray(GameImage(k16M)) + 'x' << false
                << QStringList{"file size error!!!"};
            QTest::addRow("%s: no marker word", button)
                << button << noHeader << false
                << QStringList{"File size = 32768", "file header error"};
            QTest::addRow("%s: dialog cancelled", button)
                << button << AsQByteArray(GameImage(0x8000)) << true << QStringList{};
        }
    }
    void refusedFilesChangeNothing() {
        QFETCH(QString, button);
        QFETCH(QByteArray, file);
        QFETCH(bool, cancel);
        QFETCH(QStringList, log);
        const Bytes old(k32M, 'z');
        WindowRig rig(old);
        TForm1& f = rig.form();
        rig.Tick();
        const QString path = rig.WriteFile("file.ngp", AsBytes(file));

        QVERIFY(rig.ClickAndChoose(f.findChild<QToolButton*>(button), cancel ? "" : path));

        QCOMPARE(rig.LogSince(), log);
        QCOMPARE(rig.device().stats().chip_erases, std::uint64_t{0});
        QCOMPARE(rig.device().stats().program_commands, std::uint64_t{0});
        QVERIFY(rig.Cart() == old);
        ExpectIdle(f);
    }

    void fileGoneBeforeItIsOpened() {
        const Bytes old(k32M, 'z');
        WindowRig rig(old);
        TForm1& f = rig.form();
        rig.Tick();
        const QString path = rig.WriteFile("game.ngp", GameImage(0x8000));
        QVERIFY(rig.ClickAndChoose(f.Write, path, [&] { QFile::remove(path); }));
        QCOMPARE(rig.LogSince(), QStringList{"File Open Error!!!"});
        QVERIFY(rig.Cart() == old);
        ExpectIdle(f);
    }

    // The write completes but the file cannot be opened again: no verify pass follows.
    void fileGoneBeforeTheVerifyPass() {
        WindowRig rig;
        TForm1& f = rig.form();
        rig.Tick();
        const Bytes image = GameImage(0x10000);
        const QString path = rig.WriteFile("game.ngp", image);
        connect(f.Memo1, &QPlainTextEdit::textChanged, [&] {
            if (rig.Log().last() == "File Transfer Completed") QFile::remove(path);
        });
        QVERIFY(rig.ClickAndChoose(f.Write, path));
        QCOMPARE(rig.LogSince(), HeaderLines(0x10000) << kProcessTime << "File Transfer Completed"
                                                      << "File Open Error!!!"
                                                      << "");
        QVERIFY(rig.Cart() == CartWith(image, k32M));
        ExpectIdle(f);
    }

    void withoutLinkerNoDialogComesUp() {
        WindowRig rig(Blank(k32M), "nolinker");
        TForm1& f = rig.form();
        for (QToolButton* b : {f.Write, f.Verify}) QVERIFY(!rig.ClickAndChoose(b, "x"));
        QCOMPARE(rig.Log(), QStringList{QString()});
    }

    // Only the 128 bytes just read decide whether an image is blank; what an earlier operation
    // left in the rest of the buffer does not.
    void imageStartingErasedIsAcceptedWhateverTheBufferHeld() {
        WindowRig rig;
        TForm1& f = rig.form();
        rig.Tick();
        const QString path = rig.WriteFile("erased.ngp", Blank(0x8000));
        BlockBuffer.fill(0x00);

        QVERIFY(rig.ClickAndChoose(f.Verify, path));

        QCOMPARE(rig.LogSince(),
                 (QStringList{"File size = 32768", "Game Name : " + QString(12, QChar(0xFF)),
                              "Version : B/W", kProcessTime, "File Verify Completed", ""}));
    }

    void fileWithoutHeaderLoadsWhenNotTested() {
        WindowRig rig;
        OpenDialog1FileName = rig.WriteFile("save.bin", Bytes(0x10000, 'x')).toStdString();
        QVERIFY(LoadImageFile(false));
        QVERIFY(ImageFile != nullptr);
        QCOMPARE(ImageSize, 0x10000);
        QCOMPARE(rig.LogSince(), QStringList{"File size = 65536"});
        CloseImageFile();
    }

    // Stop during the write: the loop stops before the next block, then the verify pass runs
    // in full and finds the first block that was not written.
    void stopDuringTheWrite() {
        WindowRig rig;
        TForm1& f = rig.form();
        rig.Tick();
        const Bytes image = GameImage(0x100000);
        const QString path = rig.WriteFile("game.ngp", image);
        const int fourthBlock = 3 * 0x8000 / 1024;
        QList<int> barAtStop;
        connect(f.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
            if (v == fourthBlock && f.Label2->text() == "Transfering File...") {
                QTimer::singleShot(0, f.Stop, [&] { QTest::mouseClick(f.Stop, Qt::LeftButton); });
            }
        });
        connect(f.Memo1, &QPlainTextEdit::textChanged, [&] {
            if (rig.Log().last() == "Stop process !!!") barAtStop << f.ProgressBar1->value();
        });

        QVERIFY(rig.ClickAndChoose(f.Write, path));

        QCOMPARE(rig.LogSince(), HeaderLines(0x100000) << "Stop process !!!"
                                                       << "File Transfer Abort!!!"
                                                       << "File size = 1048576"
                                                       << "Verify Cart error at 18000"
                                                       << "File Verify Abort!!!"
                                                       << ""
                                                       << "");
        QCOMPARE(barAtStop.value(0), 0);
        QCOMPARE(f.ProgressBar1->value(), 0);
        QVERIFY(rig.Cart() == CartWith(Slice(image, 0, 3 * 0x8000), k32M));
        ExpectIdle(f);
    }

    void stuckByteFailsItsBlock() {
        const Bytes image = GameImage(0x40000);
        // A byte to program in the fourth block.
        const auto it = std::find_if(image.begin() + 0x18123, image.end(),
                                     [](std::uint8_t b) { return b != 0xFF; });
        const auto stuck = std::uint32_t(it - image.begin());
        QVERIFY(stuck < 0x20000);
        WindowRig rig(Blank(k32M), QStringLiteral("stuck=%1").arg(stuck, 0, 16).toStdString());
        TForm1& f = rig.form();
        rig.Tick();
        const QString path = rig.WriteFile("game.ngp", image);

        QVERIFY(rig.ClickAndChoose(f.Write, path));

        QCOMPARE(rig.LogSince(), HeaderLines(0x40000) << "Write Cart error at 18000"
                                                      << "File Transfer Abort!!!"
                                                      << "File size = 262144"
                                                      << "Verify Cart error at 18000"
                                                      << "File Verify Abort!!!"
                                                      << ""
                                                      << "");
        QCOMPARE(f.ProgressBar1->value(), 0);
        QVERIFY(Slice(rig.Cart(), 0, 0x18000) == Slice(image, 0, 0x18000));
        ExpectIdle(f);
    }

    void verifyFindsTheBlockThatDiffers_data() {
        QTest::addColumn<int>("changed");  // offset of the changed byte, -1 for none
        QTest::addColumn<QStringList>("result");
        QTest::newRow("same") << -1 << QStringList{kProcessTime, "File Verify Completed", ""};
        QTest::newRow("fourth block")
            << 0x18200 << QStringList{"Verify Cart error at 18000", "File Verify Abort!!!", ""};
        QTest::newRow("last byte")
            << 0x3FFFF << QStringList{"Verify Cart error at 38000", "File Verify Abort!!!", ""};
    }
    void verifyFindsTheBlockThatDiffers() {
        QFETCH(int, changed);
        QFETCH(QStringList, result);
        const Bytes image = GameImage(0x40000);
        Bytes cart = CartWith(image, k32M);
        if (changed >= 0) cart[std::size_t(changed)] ^= 0x01;
        WindowRig rig(cart);
        TForm1& f = rig.form();
        rig.Tick();
        const QString path = rig.WriteFile("game.ngp", image);

        QVERIFY(rig.ClickAndChoose(f.Verify, path));

        QCOMPARE(rig.LogSince(), HeaderLines(0x40000) + result);
        QCOMPARE(f.ProgressBar1->value(), 0);
        QVERIFY(rig.Cart() == cart);
        ExpectIdle(f);
    }

    // The bar counts bytes up to 65535 and KiB above, once per block before it is done.
    void progressUnit_data() {
        QTest::addColumn<int>("imageBytes");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QList<int>>("values");  // as the bar moved after its reset to 0
        QTest::newRow("one block, bytes") << 0x8000 << 0x8000 << QList<int>{0x8000, 0};
        QTest::newRow("two blocks, KiB") << 0x10000 << 64 << QList<int>{32, 64, 0};
        QTest::newRow("2 MiB, KiB") << k16M << 2048 << QList<int>{2016, 2048, 0};
    }
    void progressUnit() {
        QFETCH(int, imageBytes);
        QFETCH(int, maximum);
        QFETCH(QList<int>, values);
        const Bytes image = GameImage(std::uint32_t(imageBytes));
        WindowRig rig(CartWith(image, k32M));
        TForm1& f = rig.form();
        rig.Tick();
        const QString path = rig.WriteFile("game.ngp", image);
        QList<int> bar;
        connect(f.ProgressBar1, &QProgressBar::valueChanged, [&](int v) { bar << v; });

        QVERIFY(rig.ClickAndChoose(f.Verify, path));

        QCOMPARE(f.ProgressBar1->maximum(), maximum);
        QCOMPARE(bar.mid(bar.size() - values.size()), values);
        QCOMPARE(rig.Log().at(rig.Log().size() - 2), QStringLiteral("File Verify Completed"));
    }
};

CARTLOOM_TEST_MAIN(WriteVerifyTest)
#include "write_verify_test.moc"
