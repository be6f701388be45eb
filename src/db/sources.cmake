list(APPEND CORE_SOURCES
    db/Connection.cpp
    db/AuthenticationMethods.cpp
    db/ConnectionString.cpp
    db/ColumnType.cpp
    db/Discovery.cpp
    db/Download.cpp
    db/Openers.cpp
    db/RememberedCertificates.cpp
    db/ServerAddress.cpp
    db/Statement.cpp
    db/Upload.cpp
    db/UploadTarget.cpp
)
