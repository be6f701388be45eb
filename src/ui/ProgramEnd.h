#pragma once

#include <functional>

// Ends the program at once, every window with it, as closing either window does. Nothing is saved
// at that point: the settings store already holds every edit. A transfer that is waiting in the
// event loop at that moment sends no further statement, so it leaves no partial row and no
// half-written file under a target name; one that works on another thread says what to discard
// through AtProgramEnd.
void EndProgram();

// Replaces the way the program ends, so that tests can see the end without their own process
// going; an empty function puts the real ending back.
void SetProgramEnding(std::function<void()> ending);

// While an object of this class lives, EndProgram runs its action before the program ends: a
// download uses it to discard the file it is writing. Objects are made and dropped on the
// user-interface thread; the actions run last made, first.
class AtProgramEnd {
public:
    explicit AtProgramEnd(std::function<void()> action);
    ~AtProgramEnd();
    AtProgramEnd(const AtProgramEnd&) = delete;
    AtProgramEnd& operator=(const AtProgramEnd&) = delete;

private:
    std::function<void()> action_;
};
