// The Write and Verify buttons.
#include <QLabel>
#include <QProgressBar>

#include "cartloom/app/form1.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/erase_all.h"
#include "cartloom/ops/image_file.h"
#include "cartloom/ops/image_transfer.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/window.h"

void TForm1::WriteClick() {
    if (!FindLink()) return;
    if (!SelectImageFile(false, true)) return;
    if (!ImageFitsCart(0)) {
        CloseImageFile();
        return;
    }
    if (!EraseAllChips(false)) {
        CloseImageFile();
        return;
    }
    Label2->setText(QStringLiteral("Transfering File..."));
    if (TransferImage(false, 0)) {
        LogLine("File Transfer Completed");
    } else {
        ProgressBar1->setValue(0);
        LogLine("File Transfer Abort!!!");
    }
    CloseImageFile();
    if (SelectImageFile(true, true)) VerifyImage(0);
    EndOperation();
    PumpMessages();
}

void TForm1::VerifyClick() {
    if (!FindLink()) return;
    if (!SelectImageFile(false, true)) return;
    VerifyImage(0);
}
