// How the operations reach the window: the window program implements OperationWindow and
// installs it; the operations call the functions below, which do nothing without one. This
// keeps the operations free of any toolkit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The two status captions below the progress bar.
enum class StatusCaption {
    Operation,  // Label2: what the running operation does
    Seconds,    // Label3: its elapsed seconds
};

// The window's two file dialogs, each remembering the last name chosen in it.
enum class FileDialog {
    Open,  // OpenDialog1: image and restore files
    Save,  // SaveDialog1: backup and save-data files
};

class OperationWindow {
  public:
    virtual ~OperationWindow() = default;
    // Appends one line (UTF-8) to the log.
    virtual void LogLine(std::string_view line) = 0;
    virtual void SetProgress(std::uint16_t position) = 0;
    virtual void SetProgressMaximum(std::uint16_t maximum) = 0;
    virtual void SetCaption(StatusCaption caption, std::string_view text) = 0;
    // While an operation runs every operation button and Exit are disabled and Stop enabled;
    // otherwise the reverse.
    virtual void ShowOperationRunning(bool running) = 0;
    // Processes every window message that is waiting and returns when none is left.
    virtual void PumpMessages() = 0;
    // Shows the dialog at `*name` (UTF-8; empty for none). true, with `*name` set to the chosen
    // file, when the user chose one.
    virtual bool ChooseFile(FileDialog dialog, std::string* name) = 0;
};

// Installs the window the operations report to (nullptr: none). It also becomes the pump that
// block programming calls between bytes.
void SetOperationWindow(OperationWindow* window);

void LogLine(std::string_view line);
void SetProgress(std::uint16_t position);
void SetProgressMaximum(std::uint16_t maximum);
void SetCaption(StatusCaption caption, std::string_view text);
void ShowOperationRunning(bool running);
// The window's own pump; operations call PumpMessages (operation_state.h), which also notes when.
void ProcessWindowMessages();
bool ChooseFile(FileDialog dialog, std::string* name);
