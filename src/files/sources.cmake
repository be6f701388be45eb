list(APPEND CORE_SOURCES
    files/AddFolderTree.cpp
    files/FileListing.cpp
    files/FolderScan.cpp
    files/ScanFileSystem.cpp
)
list(APPEND UI_SOURCES
    files/AddFiles.cpp
    files/UploadList.cpp
)
