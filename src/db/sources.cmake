list(APPEND CORE_SOURCES
    db/Connection.cpp
    db/ConnectionString.cpp
)
