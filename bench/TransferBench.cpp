// vantrelle-bench download|upload [--raw] --host H --port P --user U --password W --database D
//                 --table T --field F (download: --folder DIR [--prefix X] [--extension E])
//                 (upload: FILE...)
// Runs one transfer through the program's engines (or, with --raw, through bare Connector/C loops)
// and prints one JSON line with its figures. Exits non-zero with the error on stderr on failure.

#include <QCoreApplication>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "PeakMemory.h"
#include "RawTransfer.h"
#include "db/Download.h"
#include "db/Openers.h"
#include "db/ServerAddress.h"
#include "db/Upload.h"

namespace {

struct Options {
    QString op;
    bool raw = false;
    QMap<QString, QString> values;
    QStringList files;

    QString value(const QString& key) const { return values.value(key); }
};

[[noreturn]] void usage(const QString& problem) {
    std::fprintf(stderr,
                 "vantrelle-bench: %s\n"
                 "usage: vantrelle-bench download [--raw] --host H --port P --user U --password W "
                 "--database D --table T --field F --folder DIR [--prefix X] [--extension E]\n"
                 "       vantrelle-bench upload [--raw] --host H --port P --user U --password W "
                 "--database D --table T --field F FILE...\n",
                 qPrintable(problem));
    std::exit(2);
}

Options parse(const QStringList& args) {
    if (args.size() < 2) usage(QStringLiteral("no operation given"));
    Options o;
    o.op = args.at(1);
    if (o.op != QLatin1String("download") && o.op != QLatin1String("upload"))
        usage(QStringLiteral("unknown operation \"%1\"").arg(o.op));
    QStringList known = {"host", "port", "user", "password", "database", "table", "field"};
    if (o.op == QLatin1String("download"))
        known << "folder"
              << "prefix"
              << "extension";
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--raw")) {
            o.raw = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            const QString key = a.mid(2);
            if (!known.contains(key)) usage(QStringLiteral("unknown option %1").arg(a));
            if (i + 1 >= args.size()) usage(QStringLiteral("%1 needs a value").arg(a));
            o.values.insert(key, args.at(++i));
        } else if (o.op == QLatin1String("upload")) {
            o.files.append(a);
        } else {
            usage(QStringLiteral("unexpected argument \"%1\"").arg(a));
        }
    }
    QStringList required = {"host", "user", "database", "table", "field"};
    if (o.op == QLatin1String("download")) required << "folder";
    for (const QString& key : required)
        if (!o.values.contains(key)) usage(QStringLiteral("--%1 is required").arg(key));
    if (o.op == QLatin1String("upload") && o.files.isEmpty()) usage(QStringLiteral("no files"));
    if (!o.values.contains("extension")) o.values.insert("extension", QStringLiteral("bin"));
    return o;
}

ConnectionProfile profileOf(const Options& o) {
    return {o.value("host"), o.value("user"), o.value("password"), o.value("database"),
            o.value("port")};
}

RawLogin loginOf(const Options& o) {
    const QString port = o.value("port");
    // The host goes through the program's own check, so that it cannot carry library options.
    return {LibraryHostFor(o.value("host")).toStdString(), o.value("user").toStdString(),
            o.value("password").toStdString(), o.value("database").toStdString(),
            port.isEmpty() ? 3306u : port.toUInt()};
}

// The bench has no window: events are counted and otherwise ignored.
struct CountingEvents : TransferEvents {
    long long stored = 0, bytes = 0;
    void progressRange(int, int) override {}
    void progressValue(int) override {}
    void yield() override {}
    void fileStored(const QString& path) override {
        ++stored;
        bytes += QFileInfo(path).size();
    }
};

struct Figures {
    long long rows = 0, files = 0, bytes = 0;
    bool compressed = false;
};

Figures runDownload(const Options& o) {
    if (o.raw) {
        const RawTotals t =
            RawDownload(loginOf(o), o.value("table").toStdString(), o.value("field").toStdString(),
                        o.value("folder").toStdString(), o.value("prefix").toStdString(),
                        o.value("extension").toStdString());
        return {t.rows, t.files, t.bytes};
    }
    auto c = OpenDownloadConnection(profileOf(o));
    const DownloadResult r =
        DownloadBlobs(*c, o.value("table"), o.value("field"), o.value("prefix"), o.value("folder"),
                      o.value("extension"));
    if (r.wrongType)
        throw Failure(
            0, WrongTypeMessage(r.adoType).replace(QStringLiteral("\r\r"), QStringLiteral(" ")));
    return {r.rows, r.files, r.bytes};
}

Figures runUpload(const Options& o) {
    if (o.raw) {
        std::vector<std::string> files;
        for (const QString& f : o.files) files.push_back(f.toStdString());
        // The bare loop follows the same decision on compression as the engine.
        const bool compressed = CompressionPays(o.files);
        const RawTotals t = RawUpload(loginOf(o), o.value("table").toStdString(),
                                      o.value("field").toStdString(), files, compressed);
        return {0, t.files, t.bytes, compressed};
    }
    auto c = OpenUploadConnection(profileOf(o), o.files);
    CountingEvents events;
    for (const QString& f : o.files)
        UploadFileToBlob(*c, o.value("table"), o.value("field"), f, events);
    return {0, events.stored, events.bytes, c->compressed()};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options o = parse(QCoreApplication::arguments());
    try {
        const auto start = std::chrono::steady_clock::now();
        const Figures f = o.op == QLatin1String("download") ? runDownload(o) : runUpload(o);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double mib = static_cast<double>(f.bytes) / (1024.0 * 1024.0);
        const double peak = static_cast<double>(PeakResidentBytes()) / (1024.0 * 1024.0);
        if (o.op == QLatin1String("download"))
            std::printf(
                "{\"op\":\"download\",\"rows\":%lld,\"files\":%lld,\"bytes\":%lld,"
                "\"seconds\":%.3f,\"mb_per_s\":%.1f,\"peak_rss_mb\":%.1f}\n",
                f.rows, f.files, f.bytes, seconds, seconds > 0 ? mib / seconds : 0.0, peak);
        else
            std::printf(
                "{\"op\":\"upload\",\"files\":%lld,\"bytes\":%lld,\"seconds\":%.3f,"
                "\"mb_per_s\":%.1f,\"peak_rss_mb\":%.1f,\"compressed\":%s}\n",
                f.files, f.bytes, seconds, seconds > 0 ? mib / seconds : 0.0, peak,
                f.compressed ? "true" : "false");
        return 0;
    } catch (const Failure& e) {
        std::fprintf(stderr, "vantrelle-bench: %s\n", qPrintable(e.description));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrelle-bench: %s\n", e.what());
    }
    return 1;
}
