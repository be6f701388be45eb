#include "core/FileFailure.h"

#include <cerrno>

Failure FileFailure(FileAction action, const QString& path, const QString& systemText) {
    const QString verb =
        action == FileAction::Read ? QStringLiteral("read") : QStringLiteral("written");
    return Failure(
        Failure::kPathFileAccessError,
        QStringLiteral("The file \"%1\" could not be %2: %3").arg(path, verb, systemText));
}

Failure FileFailure(FileAction action, const QString& path, const QFileDevice& file) {
    // Qt shows "Unknown error" when the device recorded none; errno still names the cause then.
    const int systemError = errno;
    if (file.error() != QFileDevice::NoError && !file.errorString().isEmpty())
        return FileFailure(action, path, file.errorString());
    return FileFailure(action, path,
                       systemError != 0 ? qt_error_string(systemError) : file.errorString());
}
