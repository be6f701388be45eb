list(APPEND CORE_SOURCES
    core/AppInfo.cpp
    core/CommandLine.cpp
    core/Failure.cpp
    core/FileFailure.cpp
    core/PathUtils.cpp
    core/Settings.cpp
    core/Steps.cpp
    core/platform/FileSystem.cpp
    core/platform/Names.cpp
    core/platform/Paths.cpp
    core/platform/ProgramFolders.cpp
    core/platform/ServerCertificate.cpp
    core/platform/ServerLink.cpp
    core/platform/SettingsStore.cpp
    core/platform/StagedFile.cpp
)
