// The image header: the blank / marker / neither test, the title and colour as the window shows
// them, and the probe of how much of the cartridge a game occupies.
#include <QPlainTextEdit>
#include <QTest>
#include <cstring>

#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/image_header.h"
#include "tests/window_rig/test_main.h"
#include "tests/window_rig/window_rig.h"

using namespace windowtest;

namespace {

// A header in the first bytes of `buffer`: 28 bytes of marker text (shorter text is padded with
// spaces), the colour byte and the 13 title bytes 0x24 to 0x30.
QByteArray Header(const QByteArray& marker, quint8 colour, const QByteArray& title13) {
    QByteArray h(0x40, '\0');
    QByteArray m = marker.left(28);
    m.append(QByteArray(28 - m.size(), ' '));
    h.replace(0, 28, m);
    h[0x23] = char(colour);
    h.replace(0x24, title13.size(), title13);
    return h;
}

void LoadBuffer(const QByteArray& bytes, quint8 rest) {
    BlockBuffer.fill(rest);
    std::memcpy(BlockBuffer.data(), bytes.constData(), size_t(bytes.size()));
}

}  // namespace

class HeaderTest : public QObject {
    Q_OBJECT

  private slots:
    void headerAsTheWindowReadsIt_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("cartTitle");
        QTest::addColumn<QString>("cartCaption");
        QTest::addColumn<QString>("gameName");
        QTest::addColumn<QString>("version");
        const QByteArray copyright = "COPYRIGHT BY SNK CORPORATION";
        const QByteArray licensed = " LICENSED BY SNK CORPORATION";
        const QByteArray title = QByteArray("SAMPLE GAME").leftJustified(13, '\0');
        QTest::newRow("copyright marker, colour")
            << Header(copyright, 0x10, title) << HeaderMarker << "SAMPLE GAME"
            << "color \"SAMPLE GAME\""
            << "Game Name : SAMPLE GAME"
            << "Version : Color";
        QTest::newRow("licensed marker, mono")
            << Header(licensed, 0x00, title) << HeaderMarker << "SAMPLE GAME"
            << "bw \"SAMPLE GAME\""
            << "Game Name : SAMPLE GAME"
            << "Version : B/W";
        QTest::newRow("SNK alone anywhere in the marker")
            << Header("xxxxxxxxxxxxxxxxxxxxxxxxSNK", 0x10, title) << HeaderMarker << "SAMPLE GAME"
            << "color \"SAMPLE GAME\""
            << "Game Name : SAMPLE GAME"
            << "Version : Color";
        QTest::newRow("CORPORATION is the last word tried")
            << Header("THE CORPORATION", 0x10, title) << HeaderMarker << "SAMPLE GAME"
            << "color \"SAMPLE GAME\""
            << "Game Name : SAMPLE GAME"
            << "Version : Color";
        QTest::newRow("lower case is no marker")
            << Header("copyright by snk corporation", 0x10, title) << HeaderNone << "SAMPLE GAME"
            << "color \"SAMPLE GAME\""
            << "Game Name : SAMPLE GAME"
            << "Version : Color";
        QTest::newRow("0 byte before SNK")
            << Header(QByteArray("COPY\0RIGHT BY SNK CORPORATIO", 28), 0x10, title) << HeaderNone
            << "SAMPLE GAME"
            << "color \"SAMPLE GAME\""
            << "Game Name : SAMPLE GAME"
            << "Version : Color";
        QTest::newRow("colour 0x11 is not colour")
            << Header(copyright, 0x11, title) << HeaderMarker << "SAMPLE GAME"
            << "bw \"SAMPLE GAME\""
            << "Game Name : SAMPLE GAME"
            << "Version : B/W";
        QTest::newRow("twelve letters then 0")
            << Header(copyright, 0x10, QByteArray("ABCDEFGHIJKL\0", 13)) << HeaderMarker
            << "ABCDEFGHIJKL"
            << "color \"ABCDEFGHIJKL\""
            << "Game Name : ABCDEFGHIJKL"
            << "Version : Color";
        QTest::newRow("the byte after the title counts for the cartridge")
            << Header(copyright, 0x10, "ABCDEFGHIJKLM") << HeaderMarker << "ABCDEFGHIJKLM"
            << "color \"ABCDEFGHIJKLM\""
            << "Game Name : ABCDEFGHIJKL"
            << "Version : Color";
        QTest::newRow("0 bytes inside the title")
            << Header(copyright, 0x10, QByteArray("AB\0CD\0\0\0\0\0\0\0\0", 13)) << HeaderMarker
            << "AB"
            << "color \"AB\""
            << "Game Name : ABCD"
            << "Version : Color";
    }
    void headerAsTheWindowReadsIt() {
        QFETCH(QByteArray, header);
        QFETCH(int, kind);
        QFETCH(QString, cartTitle);
        QFETCH(QString, cartCaption);
        QFETCH(QString, gameName);
        QFETCH(QString, version);
        WindowRig rig;
        LoadBuffer(header, 0x00);
        QCOMPARE(ClassifyHeader(), kind);
        DecodeCartHeader();
        QCOMPARE(QString::fromStdString(CartTitle), cartTitle);
        QCOMPARE(QString::fromStdString(CartCaption), cartCaption);
        const qsizetype before = rig.Log().size();
        ShowFileHeader();
        QCOMPARE(rig.Log().mid(before), (QStringList{gameName, version}));
    }

    void blankMeansEveryByteErased() {
        WindowRig rig;
        BlockBuffer.fill(0xFF);
        QCOMPARE(ClassifyHeader(), HeaderBlank);
        BlockBuffer[0x7FFF] = 0xFE;
        QCOMPARE(ClassifyHeader(), HeaderNone);
        // Only the bytes the caller names count when it asks for fewer.
        QCOMPARE(ClassifyHeader(128), HeaderBlank);
        BlockBuffer[127] = 0x00;
        QCOMPARE(ClassifyHeader(128), HeaderNone);
    }

    // ReadCartHeader against a cartridge: the size probes and what they read.
    void gameSizeOnTheCartridge_data() {
        QTest::addColumn<int>("cartBytes");
        QTest::addColumn<int>("gameBytes");
        QTest::addColumn<quint32>("blocks");
        QTest::addColumn<quint32>("highestRead");  // highest cartridge address read
        QTest::newRow("4 Mbit game on 32M") << 0x400000 << 0x080000 << 16u << 0x087FFFu;
        QTest::newRow("8 Mbit game on 32M") << 0x400000 << 0x100000 << 32u << 0x107FFFu;
        QTest::newRow("16 Mbit game on 32M, chip 2 erased")
            << 0x400000 << 0x200000 << 64u << 0x207FFFu;
        QTest::newRow("32 Mbit game on 32M") << 0x400000 << 0x400000 << 128u << 0x207FFFu;
        QTest::newRow("16 Mbit game on 16M") << 0x200000 << 0x200000 << 64u << 0x107FFFu;
        QTest::newRow("4 Mbit game on 16M") << 0x200000 << 0x080000 << 16u << 0x087FFFu;
    }
    void gameSizeOnTheCartridge() {
        QFETCH(int, cartBytes);
        QFETCH(int, gameBytes);
        QFETCH(quint32, blocks);
        QFETCH(quint32, highestRead);
        WindowRig rig(CartWith(GameImage(std::uint32_t(gameBytes)), std::uint32_t(cartBytes)));
        rig.Tick();
        QCOMPARE(CartSize, quint32(cartBytes));
        rig.device().ResetStats();
        const qsizetype before = rig.Log().size();
        QCOMPARE(ReadCartHeader(), blocks);
        QCOMPARE(DataBlocks, blocks);
        QCOMPARE(CartTitle, std::string("SAMPLE GAME"));
        QCOMPARE(CartCaption, std::string("color \"SAMPLE GAME\""));
        QCOMPARE(rig.Log().size(), before);  // nothing logged
        QCOMPARE(rig.device().stats().read.high, highestRead);
    }

    void noGameHeaderOnTheCartridge_data() {
        QTest::addColumn<int>("start");  // the first 256 bytes
        QTest::newRow("erased") << 0xFF;
        QTest::newRow("data without marker") << int('x');
    }
    void noGameHeaderOnTheCartridge() {
        QFETCH(int, start);
        WindowRig rig(CartWith(Bytes(256, std::uint8_t(start)), k32Mbit));
        rig.Tick();
        DataBlocks = 32;
        QCOMPARE(ReadCartHeader(), 0u);
        QCOMPARE(DataBlocks, 32u);  // kept from before
        QCOMPARE(rig.Log().last(), QStringLiteral("No NGPC Cart found!!!"));
    }

    void unknownCartridgeSizeGivesNoGameSize() {
        WindowRig rig(CartWith(GameImage(0x80000), k32Mbit));
        QVERIFY(FindLink());  // the linker answers, but no detection ran: CartSize is 0
        rig.device().ResetStats();
        QCOMPARE(ReadCartHeader(), 0u);
        QCOMPARE(rig.Log(), QStringList{QString()});
        QCOMPARE(rig.device().stats().read.high, 0xFFu);  // the first page, no probe
    }
};

CARTLOOM_TEST_MAIN(HeaderTest)
#include "header_test.moc"
