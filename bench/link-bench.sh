#!/usr/bin/env bash
# Measures uploads and downloads over simulated wide-area links and on loopback: the program's
# engines (engine), bare Connector/C loops (raw) and what a user would script with MySQLdb
# (script: one autocommitted INSERT a file, or a plain streaming download; script-batch: one
# executemany and one commit). For the 256 MiB file, engine+check uploads into a table with a BEFORE
# INSERT trigger that changes nothing, so every file takes the checked path (a transaction, the
# stored value's LENGTH and CRC32 given back and compared, a COMMIT): its difference to engine is
# the check's cost. Runs alternate between contenders, the order turning from round to round; the
# end prints medians, each beside the link's limit: the bytes at the link's rate plus five round
# trips for connecting.
#
#   bench/link-bench.sh [BUILD_DIR] [SETTING...]      (as root: the link uses network namespaces)
#
# Settings: rtt20 (10 ms each way, 1 Gbit/s: 100 files of 100 KiB), rtt2 (1 ms each way, 1 Gbit/s:
# one file of 256 MiB of random bytes), mbit100 (1 ms each way, 100 Mbit/s: a 64 MiB text file that
# compresses about tenfold), and loopback (no link; the data sets named in LOOPBACK_SETS, default
# "many large text"). Default: all four.
# WANLINK names wanlink.sh (default: the one on PATH); ROUNDS=n sets the rounds (default 3);
# PYTHON names an interpreter with MySQLdb (default /usr/bin/python3). The private server lives in
# DB_DIR (default /tmp/vt-link-db) and is started inside the link's namespace for each setting and
# stopped after it; the sample files are kept in DATA_DIR (default /tmp/vt-link-data) for the next
# run. TINY=1 shrinks the data to check the script itself.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
settings=("$@")
[ ${#settings[@]} -gt 0 ] || settings=(rtt20 rtt2 mbit100 loopback)
bench="$build/bench/vantrelle-bench"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }
wanlink=${WANLINK:-$(command -v wanlink.sh || true)}
[ -x "$wanlink" ] || { echo "set WANLINK to wanlink.sh" >&2; exit 1; }
python=${PYTHON:-/usr/bin/python3}
"$python" -c 'import MySQLdb' 2>/dev/null || { echo "$python has no MySQLdb (python3-mysqldb)" >&2; exit 1; }
rounds=${ROUNDS:-3}
db_dir=${DB_DIR:-/tmp/vt-link-db}
data=${DATA_DIR:-/tmp/vt-link-data}
db=vt_link
many_count=100 large_mib=256 text_mib=64
[ "${TINY:-}" = 1 ] && { many_count=5 large_mib=2 text_mib=1; data="$data-tiny"; }

# ---- sample files, made once ---------------------------------------------------------------------
mkdir -p "$data"
if [ ! -d "$data/many" ]; then
    mkdir "$data/many.tmp"
    head -c $((many_count * 102400)) /dev/urandom | split -b 102400 -a 3 -d - "$data/many.tmp/file-"
    mv "$data/many.tmp" "$data/many"
fi
[ -f "$data/large.bin" ] || { head -c $((large_mib << 20)) /dev/urandom >"$data/large.tmp" && mv "$data/large.tmp" "$data/large.bin"; }
if [ ! -f "$data/text.txt" ]; then
    # Log lines from a small vocabulary with numbers that repeat: about tenfold under zlib.
    "$python" - "$data/text.tmp" $((text_mib << 20)) <<'PY'
import random, sys
random.seed(7)
requests = ["GET /api/items", "GET /api/users", "POST /api/orders", "GET /static/app.js"]
answers = ["200 OK", "304 Not Modified"]
out, size, n = open(sys.argv[1], "w"), int(sys.argv[2]), 0
while n < size:
    line = "2026-12-08 12:%02d:%02d INFO %s %s id=%d took=%dms\n" % (
        random.randrange(60), random.randrange(60) // 10 * 10, random.choice(requests),
        random.choice(answers), random.randrange(50), random.randrange(10))
    out.write(line)
    n += len(line)
PY
    truncate -s $((text_mib << 20)) "$data/text.tmp"
    mv "$data/text.tmp" "$data/text.txt"
fi

results=$(mktemp "${TMPDIR:-/tmp}/vt-link.XXXXXX")
out=$(mktemp -d "${TMPDIR:-/tmp}/vt-link-out.XXXXXX")
link_up=
cleanup() {
    scripts/mariadb.sh stop "$db_dir" || true
    [ -z "$link_up" ] || "$wanlink" down >/dev/null || true
    rm -rf "$results" "$out"
}
trap cleanup EXIT

field() {  # name, JSON line: the value, or "-" where the line has none
    local v
    v=$(sed -nE "s/.*\"$1\":([0-9.a-z]+).*/\1/p" <<<"$2")
    echo "${v:--}"
}

# Starts the private server, inside the link's namespace when there is a link.
start_server() {  # setting, one-way delay ms, rate Mbit/s (empty for loopback)
    scripts/mariadb.sh stop "$db_dir"
    [ -z "$link_up" ] || { "$wanlink" down >/dev/null; link_up=; }
    if [ -n "$3" ]; then
        "$wanlink" up "$2" "$3" >&2
        link_up=1
        eval "$(MARIADB_BIND=10.77.0.2 "$wanlink" run scripts/mariadb.sh start "$db_dir")"
    else
        eval "$(scripts/mariadb.sh start "$db_dir")"
    fi
    host=$VANTRELLE_TEST_HOST port=$VANTRELLE_TEST_PORT user=$VANTRELLE_TEST_USER
    password=$VANTRELLE_TEST_PASSWORD socket=$VANTRELLE_TEST_SOCKET
    sql() { mariadb --no-defaults --socket="$socket" -uroot "$@"; }
    # Large values are written to the server's memory, not its disk.
    sql -e "SET GLOBAL innodb_buffer_pool_size = 2147483648"
    sql -e "DROP DATABASE IF EXISTS $db; CREATE DATABASE $db"
    sql "$db" -e "
        CREATE TABLE uploads (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
        CREATE TABLE checked_uploads (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);
        CREATE TRIGGER unchanged BEFORE INSERT ON checked_uploads FOR EACH ROW SET NEW.id = NEW.id;
        CREATE TABLE downloads (id INT AUTO_INCREMENT PRIMARY KEY, data LONGBLOB);"
    login=(--host "$host" --port "$port" --user "$user" --password "$password" --database "$db")
}

# One run: prints its figures beside the link's limit and keeps them for the medians.
measure() {  # setting, rtt ms, rate Mbit/s, op, set, contender, round, bytes, files, command...
    local setting=$1 rtt=$2 rate=$3 op=$4 set=$5 mode=$6 round=$7 bytes=$8 files=$9
    shift 9
    sync
    "$@" >"$out/run.json"
    local line
    line=$(cat "$out/run.json")
    # The link's limit: the bytes at its rate plus five round trips for connecting; "+1 RTT/file"
    # adds the one answered round trip a file costs a client that sends one statement a file.
    local limit=0 per_file=0
    [ -z "$rate" ] || limit=$(awk -v b="$bytes" -v r="$rate" -v t="$rtt" \
        'BEGIN { printf "%.3f", b * 8 / (r * 1e6) + 5 * t / 1000 }')
    per_file=$(awk -v l="$limit" -v f="$files" -v t="$rtt" 'BEGIN { printf "%.3f", l + f * t / 1000 }')
    printf '%-8s %-6s %-7s %-13s round %d: %8.3f s %8.1f MiB/s %7.1f ms/file  peak %7.1f MiB  compressed %-5s  link limit %s s (+1 RTT/file %s s)\n' \
        "$setting" "$op" "$set" "$mode" "$round" "$(field seconds "$line")" "$(field mb_per_s "$line")" \
        "$(awk -v s="$(field seconds "$line")" -v f="$files" 'BEGIN { printf "%.1f", (f > 0 ? s * 1000 / f : 0) }')" \
        "$(field peak_rss_mb "$line")" "$(field compressed "$line")" "$limit" "$per_file"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$setting" "$op" "$set" "$mode" "$files" "$limit" "$per_file" "$line" >>"$results"
}

turned() {  # round, contenders...
    local round=$1
    shift
    local all=("$@") n=$# i
    for ((i = 0; i < n; i++)); do echo "${all[$(((i + round - 1) % n))]}"; done
}

files_of() {  # data set
    case $1 in
        many) echo "$data"/many/file-* ;;
        large) echo "$data/large.bin" ;;
        text) echo "$data/text.txt" ;;
    esac
}

upload() {  # setting, rtt, rate, set, contender, round
    local setting=$1 rtt=$2 rate=$3 set=$4 mode=$5 round=$6 files table=uploads
    read -r -a files <<<"$(files_of "$set")"
    local bytes
    bytes=$(cat "${files[@]}" | wc -c)
    [ "$mode" = engine+check ] && table=checked_uploads
    sql "$db" -e "TRUNCATE uploads; TRUNCATE checked_uploads"
    local where=(--table "$table" --field data)
    case $mode in
        engine | engine+check) measure "$setting" "$rtt" "$rate" upload "$set" "$mode" "$round" "$bytes" ${#files[@]} "$bench" upload "${login[@]}" "${where[@]}" "${files[@]}" ;;
        raw) measure "$setting" "$rtt" "$rate" upload "$set" "$mode" "$round" "$bytes" ${#files[@]} "$bench" upload --raw "${login[@]}" "${where[@]}" "${files[@]}" ;;
        script) measure "$setting" "$rtt" "$rate" upload "$set" "$mode" "$round" "$bytes" ${#files[@]} "$python" bench/peer_upload.py "${login[@]}" "${where[@]}" "${files[@]}" ;;
        script-batch) measure "$setting" "$rtt" "$rate" upload "$set" "$mode" "$round" "$bytes" ${#files[@]} "$python" bench/peer_upload.py --batch "${login[@]}" "${where[@]}" "${files[@]}" ;;
    esac
    # Every stored value is the file's bytes.
    local want got
    want=$(for f in "${files[@]}"; do sha256sum <"$f" | cut -c1-64; done | sort | sha256sum | cut -c1-64)
    got=$(sql -N "$db" -e "SELECT SHA2(data, 256) FROM $table" | sort | sha256sum | cut -c1-64)
    [ "$want" = "$got" ] || { echo "$mode: the stored values differ from the files" >&2; exit 1; }
}

download() {  # setting, rtt, rate, set, contender, round
    local setting=$1 rtt=$2 rate=$3 set=$4 mode=$5 round=$6
    local bytes files
    bytes=$(sql -N "$db" -e "SELECT SUM(LENGTH(data)) FROM downloads")
    files=$(sql -N "$db" -e "SELECT COUNT(*) FROM downloads")
    rm -rf "$out/files" && mkdir "$out/files"
    local where=(--table downloads --field data --folder "$out/files" --prefix v --extension bin)
    case $mode in
        engine) measure "$setting" "$rtt" "$rate" download "$set" "$mode" "$round" "$bytes" "$files" "$bench" download "${login[@]}" "${where[@]}" ;;
        raw) measure "$setting" "$rtt" "$rate" download "$set" "$mode" "$round" "$bytes" "$files" "$bench" download --raw "${login[@]}" "${where[@]}" ;;
        script) measure "$setting" "$rtt" "$rate" download "$set" "$mode" "$round" "$bytes" "$files" "$python" bench/peer_download.py "${login[@]}" "${where[@]}" ;;
    esac
}

run_setting() {  # setting, one-way delay, rate, data sets...
    local setting=$1 delay=$2 rate=$3
    shift 3
    start_server "$setting" "$delay" "$rate"
    local rtt=$((2 * delay)) set
    for set in "$@"; do
        # The download reads what the engine stored of the same files.
        sql "$db" -e "TRUNCATE downloads"
        local up=(engine raw script)
        [ "$set" = many ] && up+=(script-batch)
        [ "$set" = large ] && up+=(engine+check)
        for ((round = 1; round <= rounds; round++)); do
            for mode in $(turned "$round" "${up[@]}"); do
                upload "$setting" "$rtt" "$rate" "$set" "$mode" "$round"
            done
        done
        sql "$db" -e "INSERT INTO downloads (data) SELECT data FROM uploads UNION ALL SELECT data FROM checked_uploads"
        for ((round = 1; round <= rounds; round++)); do
            for mode in $(turned "$round" engine raw script); do
                download "$setting" "$rtt" "$rate" "$set" "$mode" "$round"
            done
        done
    done
}

for setting in "${settings[@]}"; do
    case $setting in
        rtt20) run_setting rtt20 10 1000 many ;;
        rtt2) run_setting rtt2 1 1000 large ;;
        mbit100) run_setting mbit100 1 100 text ;;
        loopback) run_setting loopback 0 "" ${LOOPBACK_SETS:-many large text} ;;
        *) echo "unknown setting $setting" >&2; exit 2 ;;
    esac
done

echo
echo "== medians of $rounds round(s)"
"$python" - "$results" <<'PY'
import json, statistics, sys
runs = {}
for row in open(sys.argv[1]):
    setting, op, data, mode, files, limit, per_file, line = row.rstrip("\n").split("\t", 7)
    run = json.loads(line)
    key = (setting, op, data)
    runs.setdefault(key, {}).setdefault(mode, []).append(run)
    runs[key]["_"] = (int(files), float(limit), float(per_file))
for (setting, op, data), modes in runs.items():
    files, limit, per_file = modes.pop("_")
    for mode, rs in modes.items():
        s = statistics.median(r["seconds"] for r in rs)
        mb = statistics.median(r["mb_per_s"] for r in rs)
        peak = statistics.median(r["peak_rss_mb"] for r in rs)
        compressed = "/".join(sorted({str(r.get("compressed", "-")).lower() for r in rs}))
        print("%-8s %-8s %-6s %-13s median %8.3f s %8.1f MiB/s %7.1f ms/file  peak %7.1f MiB  "
              "compressed %-5s  link limit %s" % (setting, op, data, mode, s, mb, s * 1000 / max(files, 1),
              peak, compressed, "%.3f s (+1 RTT/file %.3f s)" % (limit, per_file) if limit > 0 else "-"))
PY
