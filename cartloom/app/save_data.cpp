// Saving and restoring the game's save-data area. Placeholders until the operations are built.
#include "cartloom/app/form1.h"

void TForm1::SaveDataClick() {}

void TForm1::RestoreDataClick() {}
