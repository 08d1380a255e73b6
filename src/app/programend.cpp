#include "programend.h"

#include <cstdio>
#include <cstdlib>

namespace ProgramEnd {

namespace {
bool ending = false;
std::function<void()> cleanupStep;
std::function<void()> endHandler;
} // namespace

void setCleanup(std::function<void()> cleanup)
{
    cleanupStep = std::move(cleanup);
}

void setHandler(std::function<void()> handler)
{
    endHandler = std::move(handler);
    ending = false;
}

void EndProgram()
{
    ending = true;
    if (cleanupStep)
        cleanupStep();
    if (endHandler) {
        endHandler();
        return;
    }
    std::fflush(nullptr);
    // Not exit(): no nested event loop may resume and send or show more.
    std::_Exit(0);
}

bool isEnding()
{
    return ending;
}

} // namespace ProgramEnd
