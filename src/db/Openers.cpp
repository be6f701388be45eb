#include "db/Openers.h"

#include <zlib.h>

#include <QFile>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "core/platform/FileSystem.h"
#include "db/Upload.h"

namespace {
constexpr qint64 kSamplePieceBytes = 8 * 1024;
constexpr int kSamplePieces = 8;
constexpr qint64 kSampleBytes = kSamplePieces * kSamplePieceBytes;
constexpr int kSampleFiles = 4;

// The sizes of the file's sample before and after compression, or nothing when it cannot be read.
// A file larger than the sample gives pieces spread evenly from its start to its end, so a head
// that shrinks well does not stand for a file that does not.
std::optional<std::pair<qint64, qint64>> sampleOf(QFile& file, std::vector<char>& sample,
                                                  std::vector<Bytef>& packed) {
    const qint64 size = file.size();
    const bool whole = size <= kSampleBytes;
    const int pieces = whole ? 1 : kSamplePieces;
    const qint64 pieceBytes = whole ? kSampleBytes : kSamplePieceBytes;
    qint64 original = 0, compressed = 0;
    for (int i = 0; i < pieces; ++i) {
        if (!whole && !file.seek((size - pieceBytes) * i / (pieces - 1))) return std::nullopt;
        const qint64 got = file.read(sample.data(), pieceBytes);
        if (got <= 0) return std::nullopt;
        uLongf packedSize = static_cast<uLongf>(packed.size());
        if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(sample.data()),
                      static_cast<uLong>(got), Z_BEST_SPEED) != Z_OK)
            return std::nullopt;
        original += got;
        compressed += static_cast<qint64>(packedSize);
    }
    return std::make_pair(original, compressed);
}
}  // namespace

std::unique_ptr<Connection> OpenTableListConnection(const ConnectionProfile& profile) {
    auto c = std::make_unique<Connection>();
    c->open(BuildConnectionString(profile, false));
    return c;
}

std::unique_ptr<Connection> OpenFieldListConnection(const ConnectionProfile& profile) {
    auto c = std::make_unique<Connection>();
    c->open(BuildConnectionString(profile, false));
    return c;
}

std::unique_ptr<Connection> OpenDownloadConnection(const ConnectionProfile& profile) {
    auto c = std::make_unique<Connection>();
    c->setCommandTimeout(kTransferTimeoutSeconds);
    c->setConnectionTimeout(kTransferTimeoutSeconds);
    c->open(BuildConnectionString(profile, false));
    return c;
}

std::unique_ptr<Connection> OpenUploadConnection(const ConnectionProfile& profile) {
    return OpenUploadConnection(profile, {});
}

std::unique_ptr<Connection> OpenUploadConnection(const ConnectionProfile& profile,
                                                 const QStringList& files) {
    auto c = std::make_unique<Connection>();
    c->setCompressionPays(CompressionPays(files));
    c->setCommandTimeout(kTransferTimeoutSeconds);
    c->setConnectionTimeout(kTransferTimeoutSeconds);
    c->open(BuildConnectionString(profile, true));
    MakeUploadSessionStrict(*c);
    return c;
}

bool CompressionPays(const QStringList& files) {
    qint64 original = 0;
    qint64 compressed = 0;
    int sampled = 0;
    std::vector<char> sample(static_cast<size_t>(kSampleBytes));
    std::vector<Bytef> packed(compressBound(static_cast<uLong>(kSampleBytes)));
    for (const QString& path : files) {
        if (sampled == kSampleFiles) break;
        QFile file(path);
        try {
            platform::OpenRegularFileForReading(file);
        } catch (const Failure&) {
            continue;  // the upload itself reports it
        }
        const auto sizes = sampleOf(file, sample, packed);
        if (!sizes) continue;
        // Each file counts with its size, as its sample compressed.
        const qint64 size = std::max(file.size(), sizes->first);
        original += size;
        compressed +=
            static_cast<qint64>(static_cast<double>(sizes->second) /
                                static_cast<double>(sizes->first) * static_cast<double>(size));
        ++sampled;
    }
    return sampled == 0 || compressed * 4 <= original * 3;
}
