#pragma once

#include <QString>

#include "db/Connection.h"

// What an upload tells the one who started it: the window moves its progress bar and keeps
// painting, the tests and the benchmark record or ignore it.
struct TransferEvents {
    virtual ~TransferEvents() = default;
    virtual void progressRange(int minimum, int maximum) = 0;
    virtual void progressValue(int value) = 0;
    virtual void yield() = 0;  // the window processes its events here
    virtual void fileStored(
        const QString& path) = 0;  // the window shows "File Stored", then resets
};

// The file is read and appended in pieces of this many bytes.
constexpr qint64 kUploadChunkBytes = 10240;

// The statement that adds the row: "INSERT INTO `table` (`field`) VALUES (?)" with the same quoting
// as the download, so the new row gets a value only in the chosen column.
QString UploadStatement(const QString& table, const QString& field);

// Stores one file as a new row. The value is streamed to the server: first the leading
// (size mod 10240) bytes when there are any, then the rest in whole chunks of 10240 bytes read in
// order. The progress range is 0 to the number of whole chunks (1 when fewer than two), the value
// follows each whole chunk, with a yield before and after it. An empty file adds no row and raises
// no event. A file larger than the server's max_allowed_packet is refused before any byte is sent.
// The row exists only once the statement runs at the end, so a failure at any point (thrown as
// Failure) leaves no partial row.
void UploadFileToBlob(Connection& c, const QString& table, const QString& field,
                      const QString& path, TransferEvents& events);
