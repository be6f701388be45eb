list(APPEND CORE_SOURCES
    files/AddFolderTree.cpp
    files/FileListing.cpp
    files/FolderScan.cpp
    files/ScanFileSystem.cpp
)
