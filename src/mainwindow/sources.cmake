list(APPEND UI_SOURCES
    mainwindow/Form2.cpp
    mainwindow/ListClick.cpp
    mainwindow/TableLists.cpp
    mainwindow/WorkerThread.cpp
)
