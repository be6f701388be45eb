list(APPEND CORE_SOURCES
    app/AppInfo.cpp
    app/CommandLine.cpp
    app/Failure.cpp
    app/FileFailure.cpp
    app/PathUtils.cpp
    app/Platform.cpp
    app/Settings.cpp
    app/Steps.cpp
)
list(APPEND UI_SOURCES
    app/Dialogs.cpp
    app/InputBlocker.cpp
    app/ChangeHandlers.cpp
    app/Form1.cpp
    app/ProgramEnd.cpp
    app/SkinEngine.cpp
    app/WindowPointer.cpp
    app/Controls.cpp
    app/WindowSetup.cpp
    app/AppIconShapes.cpp
)
