list(APPEND UI_SOURCES
    ui/AppIconShapes.cpp
    ui/ChangeHandlers.cpp
    ui/Controls.cpp
    ui/Dialogs.cpp
    ui/InputBlocker.cpp
    ui/ProgramEnd.cpp
    ui/SkinEngine.cpp
    ui/WindowPointer.cpp
    ui/WindowSetup.cpp
    ui/ProgramWindow.cpp
    ui/WorkerThread.cpp
)
