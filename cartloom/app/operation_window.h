// The main window as the operations see it: the log, the progress bar, the two captions, the
// buttons, the message pump and the file dialogs of Form1.
#pragma once

#include "cartloom/ops/window.h"

class TForm1;

class TOperationWindow final : public OperationWindow {
  public:
    explicit TOperationWindow(TForm1* form) : form_(form) {}

    void LogLine(std::string_view line) override;
    void SetProgress(std::uint16_t position) override;
    void SetProgressMaximum(std::uint16_t maximum) override;
    void SetCaption(StatusCaption caption, std::string_view text) override;
    void ShowOperationRunning(bool running) override;
    void PumpMessages() override;
    bool ChooseFile(FileDialog dialog, std::string* name) override;

  private:
    TForm1* form_;
};
