// The window's start as the program makes it: port access for the legacy bases and the ports the
// system lists, then the first tick. Kept in its own program because the backend is chosen once
// per process; here the simulated system lists one parallel port, at 0xd010, as a PCI card has.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

#include "cartloom/app/application.h"
#include "cartloom/app/dialogs.h"
#include "cartloom/app/form1.h"
#include "cartloom/link/link.h"

class StartTest : public QObject {
    Q_OBJECT

  private slots:
    void findsTheLinkerOnAPortTheSystemLists() {
        QTemporaryDir dir;
        const QByteArray cart = dir.filePath(QStringLiteral("cart.bin")).toLocal8Bit();
        qputenv("LINKSIM", cart);
        qputenv("LINKSIM_OPTS", "base=0xd010");
        const portio::AccessResult access = OpenPortBackend();
        QCOMPARE(access.outcome, portio::AccessOutcome::Ready);
        QCOMPARE(portio::ListParallelPorts(), std::vector<std::uint16_t>{0xD010});
        {
            TForm1 form;
            CreateDialogs();
            form.show();
            form.Timer1Timer();
            QCOMPARE(form.padr->text(), QStringLiteral("d010"));
            QCOMPARE(form.ptype->text(), QStringLiteral("EPP"));
            QCOMPARE(form.fsize->text(), QStringLiteral("32M"));
            QVERIFY(form.LED_GRN->isVisible());
            QVERIFY(form.Write->isEnabled());
            QCOMPARE(form.Memo1->toPlainText(), QString());
            DestroyDialogs();
        }
        ClosePortBackend();
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    StartTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "start_test.moc"
