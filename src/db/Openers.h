#pragma once

#include <memory>

#include "db/Connection.h"
#include "db/ConnectionString.h"

// Each user action opens a connection of its own, with the properties that suit its work; these
// open them from the profile as the login window holds it at that moment. All throw Failure when
// the connection cannot be opened.

// The table listing: the standard string.
std::unique_ptr<Connection> OpenTableListConnection(const ConnectionProfile& profile);
// The field listings: the standard string.
std::unique_ptr<Connection> OpenFieldListConnection(const ConnectionProfile& profile);
// The download: command and connection timeouts of 5000 seconds, the standard string. Its rows
// are streamed (DownloadBlobs).
std::unique_ptr<Connection> OpenDownloadConnection(const ConnectionProfile& profile);
// The upload: timeouts of 5000 seconds, the upload variant of the string (compressed protocol), a
// strict session.
std::unique_ptr<Connection> OpenUploadConnection(const ConnectionProfile& profile);
// The same for a run over these files: the compressed protocol that the string asks for is used
// only when a sample of the files shrinks under compression (CompressionPays), since compressing
// bytes that do not shrink costs the processor more than the link saves.
std::unique_ptr<Connection> OpenUploadConnection(const ConnectionProfile& profile,
                                                 const QStringList& files);

// Whether the files' bytes shrink enough under compression to be worth it: a sample of each of the
// first few files that open (the whole file up to 64 KiB, otherwise eight pieces of 8 KiB spread
// evenly from its start to its end) is compressed by zlib at its fastest level, and the files
// together, each taken at its size as its sample shrank, must come to at most three quarters of
// their size. No readable sample keeps compression on.
bool CompressionPays(const QStringList& files);

// Both long transfers wait this many seconds for the server before giving up.
constexpr int kTransferTimeoutSeconds = 5000;
