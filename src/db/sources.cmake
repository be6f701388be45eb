list(APPEND CORE_SOURCES
    db/Connection.cpp
    db/ConnectionString.cpp
    db/Discovery.cpp
    db/Openers.cpp
    db/Statement.cpp
)
