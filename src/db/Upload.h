#pragma once

#include <QString>

#include "db/Connection.h"
#include "db/UploadTarget.h"

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

// Makes the session refuse a value that its column would cut or convert, instead of storing what
// is left of it: STRICT_ALL_TABLES is added to the session's sql_mode, the server's other modes
// are kept.
void MakeUploadSessionStrict(Connection& c);

// The largest piece of a value sent to the server in one go. The server refuses a packet that is
// not smaller than its max_allowed_packet, and a piece travels with a 7-byte header (statement and
// parameter), plus the 4-byte packet header that a compressed session carries inside its data.
// Pieces are at most 1 MiB, so memory stays small whatever the limit.
qint64 LongDataPieceBytes(qint64 maxAllowedPacket, bool compressed);

// Stores one file as a new row. The value is streamed to the server: first the leading
// (size mod 10240) bytes when there are any, then the rest in whole chunks of 10240 bytes read in
// order. The progress range is 0 to the number of whole chunks (1 when fewer than two), the value
// follows each whole chunk, with a yield before and after it. An empty file adds no row and raises
// no event. A file larger than the server's max_allowed_packet is refused before any byte is sent.
//
// Only a value stored byte for byte is reported stored. Columns that would convert, trim or pad the
// bytes are refused before sending (see UploadTarget::refuseFor). On a server that can give it
// back (INSERT ... RETURNING), every INSERT gives the stored value's length and CRC32, which must
// match what was sent, whatever was learnt about the table before. Where the server could change
// the bytes quietly (UploadTarget::checked), the row is added in a transaction and committed only
// then; elsewhere it commits with its INSERT, and a mismatch (the table changed since the first
// file) deletes it again by its key. A server without RETURNING is asked for the row by its
// unique auto-increment key inside the transaction; a table without such a key is trusted when the
// server left no warning. A row that neither the rollback (MyISAM, Aria) nor its key can take back
// stays, and the failure says so. The prepared statements and what was learnt about the column
// are kept on the connection for the files that follow; a session lost with a file is opened
// anew for the next one.
//
// The file is opened without waiting (a named pipe put in its place is refused, not waited on). A
// file that changes while it is read (it comes up short, has bytes past its size at the start, or
// is written to or replaced) is refused before the row is added; a file whose reads disagree with
// its size while it stays unchanged (a file of the kernel's under /proc or /sys) is refused as
// unreadable. A failure at any point (thrown as Failure) leaves no row; what the server refuses
// while the file is sent or stored is reported as "The file "<path>" was not stored: <reason>",
// with the server's number.
void UploadFileToBlob(Connection& c, const QString& table, const QString& field,
                      const QString& path, TransferEvents& events);
