list(APPEND UI_SOURCES
    ui/main/AddFiles.cpp
    ui/main/Form2.cpp
    ui/main/ListClick.cpp
    ui/main/TableLists.cpp
    ui/main/UploadList.cpp
)
