#include "db/Openers.h"

#include <zlib.h>

#include <QFile>
#include <vector>

#include "core/platform/FileSystem.h"
#include "db/Upload.h"

namespace {
constexpr qint64 kSampleBytes = 64 * 1024;
constexpr int kSampleFiles = 4;
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
        const qint64 got = file.read(sample.data(), kSampleBytes);
        if (got <= 0) continue;
        uLongf packedSize = static_cast<uLongf>(packed.size());
        if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(sample.data()),
                      static_cast<uLong>(got), Z_BEST_SPEED) != Z_OK)
            continue;
        original += got;
        compressed += static_cast<qint64>(packedSize);
        ++sampled;
    }
    return sampled == 0 || compressed * 4 <= original * 3;
}
