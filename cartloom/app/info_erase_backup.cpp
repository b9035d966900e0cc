// Info, Erase and Backup. Placeholders until their operations are built.
#include "cartloom/app/form1.h"

void TForm1::InfoClick() {}

void TForm1::EraseClick() {}

void TForm1::BackupClick() {}
