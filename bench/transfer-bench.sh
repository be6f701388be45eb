#!/usr/bin/env bash
# Creates sample data on a MariaDB server and measures the download and upload engines against
# bare Connector/C loops (--raw) doing the same work. Prints one labelled JSON line per run.
#
#   bench/transfer-bench.sh [BUILD_DIR]
#
# The server is taken from VANTRELLE_TEST_HOST, _PORT, _USER and _PASSWORD, as
# `eval "$(scripts/mariadb.sh start DIR)"` exports them; it needs max_allowed_packet of at least
# 256M. The database "vt_bench" is made afresh and dropped at the end, and the sample files live in
# a temporary folder that is removed at the end. ROUNDS=n repeats every measurement n times.
#
# Data: 5,000 values of 16 KiB and three of 64, 96 and 128 MiB to download; one file of 256 MiB
# and 2,000 files of 100 KiB to upload.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bench/vantrelle-bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target vantrelle-bench)" >&2; exit 1; }

host=${VANTRELLE_TEST_HOST:?start a server first: eval \"\$(scripts/mariadb.sh start DIR)\"}
port=${VANTRELLE_TEST_PORT:-3306}
user=${VANTRELLE_TEST_USER:?}
password=${VANTRELLE_TEST_PASSWORD:-}
db=vt_bench
rounds=${ROUNDS:-1}

work=$(mktemp -d "${TMPDIR:-/tmp}/vt-bench.XXXXXX")
sql() { mariadb --no-defaults -h"$host" -P"$port" -u"$user" -p"$password" "$@"; }
cleanup() { rm -rf "$work"; sql -e "DROP DATABASE IF EXISTS $db" || true; }
trap cleanup EXIT
login=(--host "$host" --port "$port" --user "$user" --password "$password" --database "$db")

echo "== creating the sample data" >&2
sql -e "DROP DATABASE IF EXISTS $db; CREATE DATABASE $db"
sql "$db" -e "
    CREATE TABLE small_values (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
    CREATE TABLE large_values (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
    CREATE TABLE uploads (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
    INSERT INTO small_values (data) SELECT REPEAT(UNHEX(SHA2(seq, 512)), 256) FROM seq_1_to_5000;"
for mib in 64 96 128; do
    sql "$db" -e "INSERT INTO large_values (data) SELECT REPEAT(UNHEX(SHA2($mib, 512)), $mib * 16384)"
done
head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/one-256MiB.bin"
mkdir "$work/many"
head -c $((2000 * 102400)) /dev/urandom | split -b 102400 -a 4 -d - "$work/many/file-"

run() {  # label, then the bench arguments
    local label=$1
    shift
    printf '%-28s ' "$label"
    "$bench" "$@"
}

for ((round = 1; round <= rounds; round++)); do
    for table in small_values large_values; do
        for mode in engine raw; do
            rm -rf "$work/out" && mkdir "$work/out"
            flag=()
            [ "$mode" = raw ] && flag=(--raw)
            run "download $table $mode" download "${flag[@]}" "${login[@]}" --table "$table" \
                --field data --folder "$work/out" --prefix v --extension bin
        done
    done
    rm -rf "$work/out"
    for set in one-256MiB many; do
        if [ "$set" = many ]; then files=("$work"/many/file-*); else files=("$work/$set.bin"); fi
        for mode in engine raw; do
            sql "$db" -e "TRUNCATE uploads"
            flag=()
            [ "$mode" = raw ] && flag=(--raw)
            run "upload $set $mode" upload "${flag[@]}" "${login[@]}" --table uploads --field data \
                "${files[@]}"
        done
    done
done
