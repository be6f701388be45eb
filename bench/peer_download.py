#!/usr/bin/env python3
"""What a user would script instead of the program's download: stream one column of a table with
MySQLdb's unbuffered cursor and write each non-NULL value to folder/<prefix><row>.<extension> with a
plain open/write/close (no sync, no temporary name). Prints one JSON line with the same figures as
vantrelle-bench.

    peer_download.py --host H --port P --user U --password W --database D --table T --field F
                     --folder DIR [--prefix X] [--extension E] [--tls] [--sync]
"""
import argparse
import json
import os
import resource
import sys
import tempfile
import time

import MySQLdb
import MySQLdb.cursors


def quoted(name):
    return "`" + name.replace("`", "``") + "`"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("host", "user", "database", "table", "field", "folder"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--port", type=int, default=3306)
    parser.add_argument("--password", default="")
    parser.add_argument("--prefix", default="")
    parser.add_argument("--extension", default="bin")
    parser.add_argument("--tls", action="store_true",
                        help="ask for TLS as the program does, for a like-for-like comparison")
    parser.add_argument("--sync", action="store_true",
                        help="force each file to the disk before closing it, as a careful user "
                             "would, for a comparison at the same durability")
    args = parser.parse_args()

    # The client refuses rows longer than its packet limit; a user with large values raises it in
    # an option file, as done here.
    with tempfile.NamedTemporaryFile("w", suffix=".cnf", delete=False) as options:
        options.write("[client]\nmax_allowed_packet=%d\n" % (1 << 30))
        if args.tls:
            options.write("ssl-enforce=1\n")
    start = time.monotonic()
    try:
        connection = MySQLdb.connect(host=args.host, port=args.port, user=args.user,
                                     passwd=args.password, db=args.database,
                                     read_default_file=options.name,
                                     cursorclass=MySQLdb.cursors.SSCursor)
    finally:
        os.unlink(options.name)
    rows = files = size = 0
    cursor = connection.cursor()
    cursor.execute("SELECT %s FROM %s" % (quoted(args.field), quoted(args.table)))
    for (value,) in cursor:
        rows += 1
        if value is None:
            continue
        path = os.path.join(args.folder, "%s%d.%s" % (args.prefix, rows, args.extension))
        with open(path, "wb") as out:
            out.write(value)
            if args.sync:
                out.flush()
                os.fsync(out.fileno())
        files += 1
        size += len(value)
    cursor.close()
    connection.close()
    seconds = time.monotonic() - start

    mib = size / (1024.0 * 1024.0)
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0  # Linux gives KiB
    print(json.dumps({"op": "download", "rows": rows, "files": files, "bytes": size,
                      "seconds": round(seconds, 3),
                      "mb_per_s": round(mib / seconds, 1) if seconds > 0 else 0.0,
                      "peak_rss_mb": round(peak, 1)}, separators=(",", ":")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
