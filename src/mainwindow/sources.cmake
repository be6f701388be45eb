list(APPEND UI_SOURCES
    mainwindow/Form2.cpp
    mainwindow/TableLists.cpp
    mainwindow/WorkerThread.cpp
)
