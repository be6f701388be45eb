#pragma once

#include <functional>

// Ends the program at once, every window with it, as closing either window does. Nothing is saved
// at that point: the settings store already holds every edit. A transfer that is waiting in the
// event loop at that moment sends no further statement, so it leaves no partial row and no
// half-written file under a target name.
void EndProgram();

// Replaces the way the program ends, so that tests can see the end without their own process
// going; an empty function puts the real ending back.
void SetProgramEnding(std::function<void()> ending);
