#include "cartloom/ops/link_check.h"

#include "cartloom/link/link.h"
#include "cartloom/ops/window.h"

bool LinkAnswered = true;

bool LinkStillAnswers() {
    LinkAnswered = CheckLink() == 0;
    if (!LinkAnswered) LogLine("Flash Linker not answering!!!");
    return LinkAnswered;
}
