list(APPEND UI_SOURCES
    ui/login/Form1.cpp
)
