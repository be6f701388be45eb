#include "app/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace {
std::function<void()>& ending() {
    static std::function<void()> current;
    return current;
}
}  // namespace

void EndProgram() {
    if (ending()) {
        ending()();
        return;
    }
    // No destructor, no event and no pending statement may run after the close: leaving at once
    // is what keeps a transfer caught mid-way from going on behind closed windows.
    std::fflush(nullptr);
    std::_Exit(0);
}

void SetProgramEnding(std::function<void()> replacement) {
    ending() = std::move(replacement);
}
