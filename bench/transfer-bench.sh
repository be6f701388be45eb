#!/usr/bin/env bash
# Creates sample data on a MariaDB server and measures the download and upload engines against bare
# Connector/C loops (raw) doing the same work. The download is also measured against the script a
# user would write instead (bench/peer_download.py: MySQLdb, an unbuffered cursor, one plain
# open/write/close per value, no sync) three ways: as written (script); asking for TLS as the
# program does, since the program encrypts whenever the server offers it (script+tls); and also
# forcing each file to the disk (script+tls+sync), since the program's files are on the disk when
# it reports them. Runs alternate between the contenders within each round, the order shifting
# from round to round; every run prints its seconds, throughput and peak memory, and the end
# prints the medians per table and contender, the engine's throughput as a multiple of the
# others', and its peak memory against 1.5 x the largest value + 32 MiB. Each run also shows the
# processor time it took (user + system, start-up included) and, for a server on this machine,
# the server's processor time meanwhile: where the two come close to the number of processors
# times the run's length, the clients are limited by the processors, not by waiting.
#
#   bench/transfer-bench.sh [BUILD_DIR]
#
# The server is taken from VANTRELLE_TEST_HOST, _PORT, _USER and _PASSWORD, as
# `eval "$(scripts/mariadb.sh start DIR)"` exports them; it needs max_allowed_packet of at least
# 256M, and an InnoDB buffer pool of 2 GiB, which the script sets for its run where it may. The
# database "vt_bench" is made afresh and dropped at the end, and the sample files live in
# a temporary folder that is removed at the end. ROUNDS=n sets the number of rounds (default 5);
# PYTHON names the interpreter that has MySQLdb (default /usr/bin/python3, Debian's
# python3-mysqldb). Every run starts with the disk caches written out (sync) and, when run as root,
# the page cache dropped, outside its time.
# TINY=1 shrinks every data set to a few small values, to check the script itself. SETS names the
# data sets to measure (default: "small_values large_values huge_values one-large many"), and
# UPLOAD_COUNT the number of 100 KiB files to upload (default 2,000).
#
# Data to download: many small values (2,048 of 100 KiB), few large values (6 of 32 MiB) and
# very large values (64, 96 and 128 MiB). To upload: one file of 256 MiB and 2,000 files of
# 100 KiB.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bench/vantrelle-bench"
peer=bench/peer_download.py
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target vantrelle-bench)" >&2; exit 1; }
python=${PYTHON:-/usr/bin/python3}
[ -x "$python" ] || python=python3
"$python" -c 'import MySQLdb' 2>/dev/null ||
    { echo "$python has no MySQLdb: install python3-mysqldb (scripts/install-deps.sh bench)" >&2; exit 1; }

host=${VANTRELLE_TEST_HOST:?start a server first: eval \"\$(scripts/mariadb.sh start DIR)\"}
port=${VANTRELLE_TEST_PORT:-3306}
user=${VANTRELLE_TEST_USER:?}
password=${VANTRELLE_TEST_PASSWORD:-}
db=vt_bench
rounds=${ROUNDS:-5}
small_count=2048 large_count=6 large_mib=32 huge_mibs=(64 96 128) upload_mib=256
upload_count=${UPLOAD_COUNT:-2000}
sets=" ${SETS:-small_values large_values huge_values one-large many} "
wants() { [[ $sets == *" $1 "* ]]; }
if [ "${TINY:-}" = 1 ]; then
    small_count=16 large_count=2 large_mib=1 huge_mibs=(2 3) upload_mib=1 upload_count=10
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vt-bench.XXXXXX")
results="$work/results.tsv"
sql() { mariadb --no-defaults -h"$host" -P"$port" -u"$user" -p"$password" "$@"; }
# The sample tables (about 1 GiB) are read from the server's memory, not its disk, so that the
# clients are measured and not the server's reads: a smaller InnoDB buffer pool is raised for the
# time of the benchmark and set back at the end.
pool=$(sql -N -e "SELECT @@innodb_buffer_pool_size")
wanted=$((2 * 1024 * 1024 * 1024))
restore_pool=
if [ "$pool" -lt "$wanted" ]; then
    if sql -e "SET GLOBAL innodb_buffer_pool_size = $wanted" 2>/dev/null; then
        restore_pool=$pool
    else
        echo "warning: the server's InnoDB buffer pool ($pool bytes) cannot be raised: its disk" \
            "reads will be measured with the clients" >&2
    fi
fi
cleanup() {
    rm -rf "$work"
    sql -e "DROP DATABASE IF EXISTS $db" || true
    [ -z "$restore_pool" ] || sql -e "SET GLOBAL innodb_buffer_pool_size = $restore_pool" || true
}
trap cleanup EXIT
login=(--host "$host" --port "$port" --user "$user" --password "$password" --database "$db")

echo "== creating the sample data" >&2
sql -e "DROP DATABASE IF EXISTS $db; CREATE DATABASE $db"
sql "$db" -e "
    CREATE TABLE small_values (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
    CREATE TABLE large_values (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
    CREATE TABLE huge_values (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
    CREATE TABLE uploads (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
"
if wants small_values; then
    sql "$db" -e "INSERT INTO small_values (data)
                  SELECT REPEAT(UNHEX(SHA2(seq, 512)), 1600) FROM seq_1_to_$small_count"
fi
for ((n = 1; n <= large_count; n++)); do
    wants large_values || break
    sql "$db" -e "INSERT INTO large_values (data) SELECT REPEAT(UNHEX(SHA2($n, 512)), $large_mib * 16384)"
done
for mib in "${huge_mibs[@]}"; do
    wants huge_values || break
    sql "$db" -e "INSERT INTO huge_values (data) SELECT REPEAT(UNHEX(SHA2($mib, 512)), $mib * 16384)"
done
if wants one-large; then head -c $((upload_mib * 1024 * 1024)) /dev/urandom >"$work/one-large.bin"; fi
mkdir "$work/many"
if wants many; then
    head -c $((upload_count * 102400)) /dev/urandom | split -b 102400 -a 4 -d - "$work/many/file-"
fi

field() {  # name, JSON line
    sed -E "s/.*\"$1\":([0-9.]+).*/\1/" <<<"$2"
}

# The server's process, when it runs on this machine and listens at the port.
server_pid=$(pgrep -f -- "mariadbd.*--port=$port( |$)" | head -n 1 || true)
server_cpu() {  # seconds of processor time the server has taken so far, or nothing
    [ -n "$server_pid" ] && [ -r "/proc/$server_pid/stat" ] || return 0
    # Fields 14 and 15 after the command name (which may hold blanks) are user and system time.
    sed -E 's/^.*\) //' "/proc/$server_pid/stat" |
        awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($12 + $13) / hz }'
}
# Runs the command with its output to a file and prints the processor time its processes took.
cpu_of() {  # output file, command...
    local out=$1
    shift
    # A subshell's own "times" line 2 is what its finished children took; "times" must not run in
    # a pipeline, whose part would be a process of its own without children.
    (
        "$@" >"$out"
        times >"$out.times"
    )
    sed -n 2p "$out.times" |
        awk '{ n = 0; for (i = 1; i <= 2; i++) { split($i, t, "m"); n += t[1] * 60 + t[2] } printf "%.3f", n }'
}

# One run: op, data set, contender, round, largest value in bytes, then the command. Prints the run's
# figures and keeps its JSON line for the medians.
measure() {
    local op=$1 set=$2 mode=$3 round=$4 largest=$5
    shift 5
    sync
    # Freed page-cache memory is reused at once; memory the page cache has never held costs several
    # times more to fill on some virtual machines, and would be charged to whichever contender
    # reaches it first. Dropping the clean cache (as root) gives every run the same start.
    { echo 1 >/proc/sys/vm/drop_caches; } 2>/dev/null || true
    local line cpu before after server=
    before=$(server_cpu)
    cpu=$(cpu_of "$work/run.json" "$@")
    after=$(server_cpu)
    line=$(cat "$work/run.json")
    [ -z "$before" ] || server=$(awk -v a="$before" -v b="$after" 'BEGIN { printf "%.3f", b - a }')
    printf '%-8s %-13s %-15s round %d: %9.3f s %9.1f MiB/s   peak %8.1f MiB   cpu %6.3f s%s\n' \
        "$op" "$set" "$mode" "$round" "$(field seconds "$line")" "$(field mb_per_s "$line")" \
        "$(field peak_rss_mb "$line")" "$cpu" "${server:+   server cpu $server s}"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$op" "$set" "$mode" "$largest" "$cpu" "${server:--1}" \
        "$line" >>"$results"
}

# Each download writes into a new folder; the folders of a round are deleted after its downloads.
# Creating many files right after deleting many is slow on some file systems (ext4 without a
# journal passes over every inode freed in the last 30 seconds), which would charge whichever
# contender comes next; the uploads that follow give the file system that time.
spent=0
download() {  # data set, contender, round, largest value
    local table=$1 mode=$2
    if [ -d "$work/out" ]; then
        mkdir -p "$work/spent"
        mv "$work/out" "$work/spent/$((++spent))"
    fi
    mkdir "$work/out"
    local where=(--table "$table" --field data --folder "$work/out" --prefix v --extension bin)
    case $mode in
        engine) measure download "$@" "$bench" download "${login[@]}" "${where[@]}" ;;
        raw) measure download "$@" "$bench" download --raw "${login[@]}" "${where[@]}" ;;
        script) measure download "$@" "$python" "$peer" "${login[@]}" "${where[@]}" ;;
        script+tls) measure download "$@" "$python" "$peer" --tls "${login[@]}" "${where[@]}" ;;
        script+tls+sync)
            measure download "$@" "$python" "$peer" --tls --sync "${login[@]}" "${where[@]}" ;;
    esac
}

upload() {  # data set, contender, round
    local set=$1 mode=$2 files
    if [ "$set" = many ]; then files=("$work"/many/file-*); else files=("$work/$set.bin"); fi
    sql "$db" -e "TRUNCATE uploads"
    local flag=()
    [ "$mode" = raw ] && flag=(--raw)
    measure upload "$@" 0 "$bench" upload "${flag[@]}" "${login[@]}" --table uploads --field data \
        "${files[@]}"
}

# The contenders of one round, the order turned by one place per round.
turned() {  # round, contenders...
    local round=$1
    shift
    local all=("$@") n=$# i
    for ((i = 0; i < n; i++)); do echo "${all[$(((i + round - 1) % n))]}"; done
}

for ((round = 1; round <= rounds; round++)); do
    for table in small_values large_values huge_values; do
        wants "$table" || continue
        largest=$(sql -N "$db" -e "SELECT MAX(LENGTH(data)) FROM $table")
        for mode in $(turned "$round" engine raw script script+tls script+tls+sync); do
            download "$table" "$mode" "$round" "$largest"
        done
    done
    rm -rf "$work/out" "$work/spent"
    for set in one-large many; do
        wants "$set" || continue
        for mode in $(turned "$round" engine raw); do upload "$set" "$mode" "$round"; done
    done
done

echo
echo "== medians of $rounds round(s) on $(nproc) processor(s)"
"$python" - "$results" <<'PY'
import json, statistics, sys
runs = {}
largest = {}
for row in open(sys.argv[1]):
    op, data, mode, big, cpu, server, line = row.rstrip("\n").split("\t", 6)
    run = json.loads(line)
    run["cpu"], run["server_cpu"] = float(cpu), float(server)
    runs.setdefault((op, data), {}).setdefault(mode, []).append(run)
    largest[(op, data)] = int(big)
for (op, data), modes in runs.items():
    med = {m: {k: statistics.median(r[k] for r in rs)
               for k in ("seconds", "mb_per_s", "peak_rss_mb", "cpu", "server_cpu")}
           for m, rs in modes.items()}
    for m, f in med.items():
        server = "   server cpu %6.3f s" % f["server_cpu"] if f["server_cpu"] >= 0 else ""
        print("%-8s %-13s %-15s median: %9.3f s %9.1f MiB/s   peak %8.1f MiB   cpu %6.3f s%s"
              % (op, data, m, f["seconds"], f["mb_per_s"], f["peak_rss_mb"], f["cpu"], server))
    engine = med.get("engine")
    for other in ("script", "script+tls", "script+tls+sync", "raw"):
        if engine and other in med and med[other]["mb_per_s"] > 0:
            print("%-8s %-13s engine throughput %.2f x %s" % (op, data, engine["mb_per_s"] / med[other]["mb_per_s"], other))
    if op == "download" and engine:
        bound = 1.5 * largest[(op, data)] / 2**20 + 32
        print("%-8s %-13s engine peak %.1f MiB, bound 1.5 x largest + 32 MiB = %.1f MiB: %s"
              % (op, data, engine["peak_rss_mb"], bound, "within" if engine["peak_rss_mb"] <= bound else "OVER"))
PY
