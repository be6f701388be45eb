list(APPEND CORE_SOURCES
    app/AppInfo.cpp
    app/Failure.cpp
    app/PathUtils.cpp
    app/Platform.cpp
    app/Settings.cpp
    app/Steps.cpp
)
list(APPEND UI_SOURCES
    app/Dialogs.cpp
)
