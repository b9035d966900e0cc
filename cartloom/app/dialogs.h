// The three dialogs are created once at start-up, after the main window, and kept for the life
// of the process so that their controls keep their state from one use to the next.
#pragma once

// Creates Erase_Dlg, BackupDataSizeDialog and SaveDataSizeDialog, in this order.
void CreateDialogs();
// Destroys them again (tests build several windows in one process).
void DestroyDialogs();
