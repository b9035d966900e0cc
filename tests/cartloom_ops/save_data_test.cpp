// Saving and restoring the save-data area, driven through the window's buttons and dialogs on a
// simulated cartridge file.
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <algorithm>

#include "cartloom/app/dialog_parts.h"
#include "cartloom/app/form1.h"
#include "cartloom/app/save_data_size_dialog.h"
#include "cartloom/link/flash.h"
#include "cartloom/ops/image_header.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/save_area.h"
#include "tests/window_rig/dialog_script.h"
#include "tests/window_rig/test_main.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

class SaveDataTest : public QObject {
    Q_OBJECT

  private slots:
    void save_data();
    void save();
    void sizeChoiceSurvivesCancel();
    void saveWithoutHeader_data();
    void saveWithoutHeader();
    void restore_data();
    void restore();
    void restoreProgramError();
    void restoreRefused_data();
    void restoreRefused();
    void eraseTimeOut();
};

void SaveDataTest::save_data() {
    QTest::addColumn<int>("cart_bytes");
    QTest::addColumn<int>("game_mbit");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("area_start");
    QTest::addColumn<int>("area_bytes");
    QTest::addColumn<QString>("proposed_name");
    QTest::addColumn<QString>("read");  // every byte the flow read, header and probes included
    QTest::newRow("32K of a 16 Mbit game")
        << int(k16Mbit) << 16 << "SAMPLE GAME" << 0 << 0x1F8000 << 0x8000 << "SAMPLE GAME"
        << "000000-0000ff 080000-087fff 100000-107fff 1f8000-1fffff";
    // The area ends with the first chip, not with the game on the second (whose first block
    // the size probe reads).
    QTest::newRow("128K of a 32 Mbit game")
        << int(k32Mbit) << 32 << "SAMPLE GAME" << 2 << 0x1E0000 << 0x20000 << "SAMPLE GAME"
        << "000000-0000ff 080000-087fff 100000-107fff 1e0000-207fff";
    QTest::newRow("64K of a 4 Mbit game, title with a slash")
        << int(k16Mbit) << 4 << "RACE/RALLY" << 1 << 0x70000 << 0x10000 << "RACE_RALLY"
        << "000000-0000ff 070000-087fff";
}

void SaveDataTest::save() {
    QFETCH(int, cart_bytes);
    QFETCH(int, game_mbit);
    QFETCH(QString, title);
    QFETCH(int, item);
    QFETCH(int, area_start);
    QFETCH(int, area_bytes);
    QFETCH(QString, proposed_name);
    QFETCH(QString, read);
    const Bytes cart =
        MakeCart(std::uint32_t(cart_bytes), unsigned(game_mbit), true, title.toStdString());
    WindowRig rig(cart);
    rig.FirstTick();
    const QString path = rig.Path("save.bin");
    QString proposed;
    DialogScript script;
    script.Then(ChooseItem(item));
    script.Then(PickFile(path, &proposed));
    rig.form().SaveData->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(SaveDataSizeDialog->GameName->text(), "GameName=" + title);
    QCOMPARE(proposed, proposed_name);
    QCOMPARE(SaveBlocks, 1u << item);
    // The end of the game's data, lowered to the first chip's end.
    QCOMPARE(DataBlocks, std::uint32_t(area_start + area_bytes) / kBlock);

    QVERIFY(ReadFile(path) == Slice(cart, std::uint32_t(area_start), std::uint32_t(area_bytes)));
    QCOMPARE(rig.LogSince(),
             (QStringList{"File Name : " + path,
                          QStringLiteral("%1Kbits file saving...").arg(area_bytes / 1024),
                          "Process time = # Sec", "File Save Completed",
                          QStringLiteral("File size = %1").arg(area_bytes), "Process time = # Sec",
                          "File Verify Completed", "", "", ""}));
    QCOMPARE(rig.ReadRanges(), read);
    QCOMPARE(rig.stats().program_commands, 0u);
    QCOMPARE(rig.stats().sector_erases + rig.stats().chip_erases, 0u);
    QVERIFY(rig.Cart() == cart);
    rig.Report(QTest::currentDataTag());
}

void SaveDataTest::sizeChoiceSurvivesCancel() {
    WindowRig rig(MakeCart(k16Mbit, 16));
    rig.FirstTick();
    DialogScript script;
    script.Then(ChooseItem(1));
    script.Then(PickFile(rig.Path("save.bin")));
    rig.form().SaveData->click();
    QVERIFY_SCRIPT(script);
    rig.Mark();
    int seen = -1;
    script.Then([&](QWidget* dialog) {
        seen = SaveDataSizeDialog->SaveDataSize->ItemIndex();
        PressEscape()(dialog);
    });
    rig.form().SaveData->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(seen, 1);
    QCOMPARE(rig.LogSince(), (QStringList{"Save Data Cancel", ""}));
    QCOMPARE(rig.BytesRead(), std::uint64_t{256 + 2 * kBlock});  // the first header read only
}

void SaveDataTest::saveWithoutHeader_data() {
    QTest::addColumn<int>("stale_blocks");
    QTest::newRow("after start") << 0;
    QTest::newRow("left from a 32 Mbit game") << 128;
}

void SaveDataTest::saveWithoutHeader() {
    QFETCH(int, stale_blocks);
    WindowRig rig(MakeCart(k16Mbit, 0));
    rig.FirstTick();
    DataBlocks = std::uint32_t(stale_blocks);
    DialogScript script;
    rig.form().SaveData->click();
    QVERIFY(script.unexpected.isEmpty());  // no size dialog
    QCOMPARE(rig.LogSince(), (QStringList{"No NGPC Cart found!!!", "Save Data Area Error!!!", ""}));
    QCOMPARE(rig.ReadRanges(), QStringLiteral("000000-0000ff"));
}

void SaveDataTest::restore_data() {
    QTest::addColumn<int>("cart_bytes");
    QTest::addColumn<int>("game_mbit");
    QTest::addColumn<int>("file_bytes");
    QTest::addColumn<int>("area_start");
    QTest::addColumn<int>("sector_erases");
    QTest::addColumn<int>("erased_low");  // the chip erases whole sectors
    QTest::newRow("64K on a 4 Mbit game")
        << int(k16Mbit) << 4 << 0x10000 << 0x70000 << 16 << 0x70000;
    // The 32 KB below the area share its 64 KB sector: they are erased and written back.
    QTest::newRow("32K on a 4 Mbit game") << int(k16Mbit) << 4 << 0x8000 << 0x78000 << 8 << 0x70000;
    QTest::newRow("32K on a 16 Mbit game")
        << int(k16Mbit) << 16 << 0x8000 << 0x1F8000 << 8 << 0x1F8000;
    // The header read ends on the second chip; the area is still the end of the first.
    QTest::newRow("128K on a 32 Mbit game")
        << int(k32Mbit) << 32 << 0x20000 << 0x1E0000 << 32 << 0x1E0000;
}

void SaveDataTest::restore() {
    QFETCH(int, cart_bytes);
    QFETCH(int, game_mbit);
    QFETCH(int, file_bytes);
    QFETCH(int, area_start);
    QFETCH(int, sector_erases);
    QFETCH(int, erased_low);
    const Bytes cart = MakeCart(std::uint32_t(cart_bytes), unsigned(game_mbit));
    WindowRig rig(cart);
    rig.FirstTick();
    const Bytes save = Pattern(std::size_t(file_bytes), 7);
    const QString path = rig.WriteFile("save.bin", save);
    QStringList captions;  // Label2 while the cartridge is worked on
    rig.on_port_read = [&] {
        const QString now = rig.form().Label2->text();
        if (!now.isEmpty() && (captions.isEmpty() || captions.last() != now)) captions << now;
    };
    DialogScript script;
    script.Then(PickFile(path));
    rig.form().RestoreData->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(captions,
             (QStringList{"Erase Save Data Area...", "Save Data Writing...", "File Verifying..."}));

    const std::uint32_t start = std::uint32_t(area_start);
    const std::uint32_t last = start + std::uint32_t(file_bytes) - 1;
    const Bytes after = rig.Cart();
    QVERIFY(Slice(after, start, std::uint32_t(file_bytes)) == save);
    QCOMPARE(FirstChangeOutside(cart, after, start, last), -1L);
    const QString size = QStringLiteral("File size = %1").arg(file_bytes);
    QCOMPARE(rig.LogSince(),
             (QStringList{size, "Process time = # Sec", "Save Data Write Completed", size,
                          "Process time = # Sec", "File Verify Completed", "", ""}));
    const linksim::Stats& s = rig.stats();
    QCOMPARE(s.sector_erases, std::uint64_t(sector_erases));
    QCOMPARE(s.chip_erases, 0u);
    QCOMPARE(s.erased.low, std::uint32_t(erased_low));
    QCOMPARE(s.erased.high, last);
    QVERIFY(s.programmed.low >= std::uint32_t(erased_low));
    QVERIFY(s.programmed.high <= last);
    QCOMPARE(s.program_failures, 0u);
    QCOMPARE(DataBlocks, (start + std::uint32_t(file_bytes)) / kBlock);
    QCOMPARE(ImageFile, nullptr);
    rig.Report(QTest::currentDataTag());
}

void SaveDataTest::restoreProgramError() {
    const Bytes save = Pattern(0x10000, 9);
    const auto first_programmed =
        std::find_if(save.begin(), save.end(), [](std::uint8_t b) { return b != 0xFF; });
    const std::uint32_t stuck = 0x70000 + std::uint32_t(first_programmed - save.begin());
    const Bytes cart = MakeCart(k16Mbit, 4);
    WindowRig rig(cart, QStringLiteral("stuck=%1").arg(stuck, 0, 16).toStdString());
    rig.FirstTick();
    DialogScript script;
    script.Then(PickFile(rig.WriteFile("save.bin", save)));
    rig.form().RestoreData->click();
    QVERIFY_SCRIPT(script);
    // The write stops at the first block; the verify still runs and finds it.
    QCOMPARE(rig.LogSince(),
             (QStringList{"File size = 65536", "Write Cart error at 0", "Save Data Write Abort!!!",
                          "File size = 65536", "Verify Cart error at 0", "File Verify Abort!!!", "",
                          ""}));
    QVERIFY(rig.stats().program_failures > 0);
    QVERIFY(rig.stats().programmed.high <= stuck);
    QCOMPARE(FirstChangeOutside(cart, rig.Cart(), 0x70000, 0x7FFFF), -1L);
    QCOMPARE(ImageFile, nullptr);
}

void SaveDataTest::restoreRefused_data() {
    QTest::addColumn<int>("game_mbit");
    QTest::addColumn<int>("file_bytes");  // 0: the file dialog is cancelled
    QTest::addColumn<int>("stale_blocks");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("40000 bytes") << 4 << 40000 << 0 << QStringList{"file size error!!!"};
    QTest::newRow("file dialog cancelled") << 4 << 0 << 0 << QStringList{};
    // Erasing it would start below address 0.
    QTest::newRow("longer than the data")
        << 4 << 0x88000 << 0
        << QStringList{"File size = 557056", "file size over data area!!!", ""};
    QTest::newRow("no header, stale size")
        << 0 << 0x8000 << 64
        << QStringList{"File size = 32768", "No NGPC Cart found!!!", "Save Data Area Error!!!", ""};
}

void SaveDataTest::restoreRefused() {
    QFETCH(int, game_mbit);
    QFETCH(int, file_bytes);
    QFETCH(int, stale_blocks);
    QFETCH(QStringList, log);
    const Bytes cart = MakeCart(k16Mbit, unsigned(game_mbit));
    WindowRig rig(cart);
    rig.FirstTick();
    DataBlocks = std::uint32_t(stale_blocks);
    DialogScript script;
    if (file_bytes == 0) {
        script.Then(PressEscape());
    } else {
        script.Then(PickFile(rig.WriteFile("save.bin", Pattern(std::size_t(file_bytes), 3))));
    }
    rig.form().RestoreData->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(rig.LogSince(), log);
    QCOMPARE(rig.stats().sector_erases + rig.stats().chip_erases, 0u);
    QCOMPARE(rig.stats().program_commands, 0u);
    QVERIFY(rig.Cart() == cart);
    QCOMPARE(ImageFile, nullptr);
    QVERIFY(rig.form().RestoreData->isEnabled());
}

void SaveDataTest::eraseTimeOut() {
    const Bytes cart = MakeCart(k16Mbit, 4);
    WindowRig rig(cart, "erase-hang");
    rig.FirstTick();
    EraseReadLimit = 100000;  // the full wait is the link's own test; here it would take seconds
    DialogScript script;
    script.Then(PickFile(rig.WriteFile("save.bin", Pattern(0x10000, 5))));
    rig.form().RestoreData->click();
    QVERIFY_SCRIPT(script);
    QCOMPARE(rig.LogSince(), (QStringList{"File size = 65536", "Erase Data Error!!!", ""}));
    QCOMPARE(rig.stats().sector_erases, 1u);  // the first time-out ends the erase
    QCOMPARE(rig.stats().program_commands, 0u);
    QCOMPARE(ImageFile, nullptr);
    QVERIFY(rig.form().RestoreData->isEnabled());
}

CARTLOOM_TEST_MAIN(SaveDataTest)
#include "save_data_test.moc"
