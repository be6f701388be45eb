#include "db/Openers.h"

#include "db/Upload.h"

std::unique_ptr<Connection> OpenTableListConnection(const ConnectionProfile& profile) {
    auto c = std::make_unique<Connection>();
    c->setCursorLocation(Connection::kClientCursor);
    c->open(BuildConnectionString(profile, false));
    return c;
}

std::unique_ptr<Connection> OpenFieldListConnection(const ConnectionProfile& profile) {
    auto c = std::make_unique<Connection>();
    c->setMode(kReadWriteMode);
    c->open(BuildConnectionString(profile, false));
    return c;
}

std::unique_ptr<Connection> OpenDownloadConnection(const ConnectionProfile& profile) {
    auto c = std::make_unique<Connection>();
    c->setMode(kReadWriteMode);
    c->setCommandTimeout(kTransferTimeoutSeconds);
    c->setConnectionTimeout(kTransferTimeoutSeconds);
    c->setCursorLocation(Connection::kClientCursor);
    c->open(BuildConnectionString(profile, false));
    return c;
}

std::unique_ptr<Connection> OpenUploadConnection(const ConnectionProfile& profile) {
    auto c = std::make_unique<Connection>();
    c->setMode(kReadWriteMode);
    c->setCursorLocation(Connection::kServerCursor);
    c->setCommandTimeout(kTransferTimeoutSeconds);
    c->setConnectionTimeout(kTransferTimeoutSeconds);
    c->open(BuildConnectionString(profile, true));
    MakeUploadSessionStrict(*c);
    return c;
}
