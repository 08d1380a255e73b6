#pragma once

#include <functional>

// Ending the program at once (Exit, the close box, the password dialog's
// Exit, a failed start-up search). The process ends before any handler that
// was waiting can carry on; nothing is saved and nothing more is shown.
namespace ProgramEnd {

// Runs just before the end; the main window closes its port here.
void setCleanup(std::function<void()> cleanup);
// Tests take the end in place of the process exit; setting a handler also
// starts over as a program that is not ending.
void setHandler(std::function<void()> handler);

void EndProgram();
bool isEnding();

} // namespace ProgramEnd
