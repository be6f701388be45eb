#include "ui/ProgramEnd.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
std::function<void()>& ending() {
    static std::function<void()> current;
    return current;
}

std::vector<std::function<void()>*>& actions() {
    static std::vector<std::function<void()>*> current;
    return current;
}
}  // namespace

void EndProgram() {
    const std::vector<std::function<void()>*>& pending = actions();
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) (**it)();
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

AtProgramEnd::AtProgramEnd(std::function<void()> action) : action_(std::move(action)) {
    actions().push_back(&action_);
}

AtProgramEnd::~AtProgramEnd() {
    auto& list = actions();
    list.erase(std::remove(list.begin(), list.end(), &action_), list.end());
}
