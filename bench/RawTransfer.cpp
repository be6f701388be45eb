#include "RawTransfer.h"

#include "db/Connection.h"

#include <fcntl.h>
#include <mysql.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

using MysqlPtr = std::unique_ptr<MYSQL, decltype(&mysql_close)>;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what);
}

std::string quoted(const std::string& name) {
    std::string out = "`";
    for (char ch : name) {
        if (ch == '`') out += '`';
        out += ch;
    }
    return out + "`";
}

MysqlPtr connect(const RawLogin& login, bool compressed) {
    MysqlPtr mysql(mysql_init(nullptr), &mysql_close);
    if (!mysql) fail("mysql_init failed");
    const unsigned long maxPacket = 1024ul * 1024ul * 1024ul;
    mysql_optionsv(mysql.get(), MYSQL_OPT_MAX_ALLOWED_PACKET, &maxPacket);
    if (compressed) mysql_optionsv(mysql.get(), MYSQL_OPT_COMPRESS, nullptr);
    // The same protection as the program's connections, so both pay for the same encryption.
    ProtectSession(mysql.get(), true);
    if (!mysql_real_connect(mysql.get(), login.host.c_str(), login.user.c_str(),
                            login.password.c_str(), login.database.c_str(), login.port, nullptr, 0))
        fail(mysql_error(mysql.get()));
    return mysql;
}

void writeAll(int fd, const char* data, unsigned long size, const std::string& path) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) fail("cannot write " + path);
        data += n;
        size -= static_cast<unsigned long>(n);
    }
}

}  // namespace

RawTotals RawDownload(const RawLogin& login, const std::string& table, const std::string& field,
                      const std::string& folder, const std::string& prefix,
                      const std::string& extension) {
    MysqlPtr mysql = connect(login, false);
    const std::string sql = "Select " + quoted(field) + " FROM " + quoted(table);
    if (mysql_real_query(mysql.get(), sql.data(), sql.size()) != 0) fail(mysql_error(mysql.get()));
    MYSQL_RES* result = mysql_use_result(mysql.get());
    if (!result) fail(mysql_error(mysql.get()));

    RawTotals totals;
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        ++totals.rows;
        if (!row[0]) continue;
        const unsigned long size = mysql_fetch_lengths(result)[0];
        const std::string path =
            folder + "/" + prefix + std::to_string(totals.rows) + "." + extension;
        const std::string part = path + ".part";
        const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) fail("cannot create " + part);
        writeAll(fd, row[0], size, part);
        if (::fdatasync(fd) != 0 || ::close(fd) != 0) fail("cannot write " + part);
        if (std::rename(part.c_str(), path.c_str()) != 0) fail("cannot rename " + part);
        ++totals.files;
        totals.bytes += static_cast<long long>(size);
    }
    const bool failed = mysql_errno(mysql.get()) != 0;
    const std::string error = mysql_error(mysql.get());
    mysql_free_result(result);
    if (failed) fail(error);
    return totals;
}

RawTotals RawUpload(const RawLogin& login, const std::string& table, const std::string& field,
                    const std::vector<std::string>& files, bool compressed) {
    MysqlPtr mysql = connect(login, compressed);
    // The same work as the engine's: each stored value's length and CRC32 come back with its
    // INSERT and are compared with the file's.
    const std::string sql = "INSERT INTO " + quoted(table) + " (" + quoted(field) +
                            ") VALUES (?) RETURNING LENGTH(" + quoted(field) + "), CRC32(" +
                            quoted(field) + ")";
    std::unique_ptr<MYSQL_STMT, decltype(&mysql_stmt_close)> stmt(mysql_stmt_init(mysql.get()),
                                                                  &mysql_stmt_close);
    if (!stmt || mysql_stmt_prepare(stmt.get(), sql.data(), sql.size()) != 0)
        fail(stmt ? mysql_stmt_error(stmt.get()) : mysql_error(mysql.get()));
    MYSQL_BIND value{};
    value.buffer_type = MYSQL_TYPE_LONG_BLOB;
    if (mysql_stmt_bind_param(stmt.get(), &value) != 0) fail(mysql_stmt_error(stmt.get()));
    long long storedLength = 0, storedCrc = 0;
    MYSQL_BIND stored[2]{};
    for (int i = 0; i < 2; ++i) {
        stored[i].buffer_type = MYSQL_TYPE_LONGLONG;
        stored[i].buffer = i == 0 ? &storedLength : &storedCrc;
    }

    std::vector<char> piece(1024 * 1024);
    RawTotals totals;
    for (const std::string& path : files) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) fail("cannot open " + path);
        long long size = 0;
        uLong crc = crc32_z(0, nullptr, 0);
        for (;;) {
            const ssize_t n = ::read(fd, piece.data(), piece.size());
            if (n < 0) fail("cannot read " + path);
            if (n == 0) break;
            if (mysql_stmt_send_long_data(stmt.get(), 0, piece.data(),
                                          static_cast<unsigned long>(n)) != 0)
                fail(mysql_stmt_error(stmt.get()));
            crc =
                crc32_z(crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<size_t>(n));
            size += n;
        }
        ::close(fd);
        if (size == 0) continue;
        if (mysql_stmt_execute(stmt.get()) != 0 ||
            mysql_stmt_bind_result(stmt.get(), stored) != 0 || mysql_stmt_fetch(stmt.get()) != 0)
            fail(mysql_stmt_error(stmt.get()));
        mysql_stmt_free_result(stmt.get());
        if (storedLength != size || static_cast<uLong>(storedCrc) != crc)
            fail("the server stored other bytes for " + path);
        ++totals.files;
        totals.bytes += size;
    }
    return totals;
}
