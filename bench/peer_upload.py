#!/usr/bin/env python3
"""What a user would script instead of the program's upload: read each file whole and add it as a
new row with MySQLdb, either one INSERT a file on an autocommitted connection, or all files in one
executemany (which MySQLdb sends as one multi-row INSERT) and one commit. Prints one JSON line with
the same figures as vantrelle-bench.

    peer_upload.py --host H --port P --user U --password W --database D --table T --field F
                   [--batch] FILE...
"""
import argparse
import json
import os
import resource
import sys
import tempfile
import time

import MySQLdb


def quoted(name):
    return "`" + name.replace("`", "``") + "`"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("host", "user", "database", "table", "field"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--port", type=int, default=3306)
    parser.add_argument("--password", default="")
    parser.add_argument("--batch", action="store_true",
                        help="all files in one executemany and one commit")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    # A value as large as the largest file must fit in one packet; a user raises the client's limit
    # in an option file, as done here.
    with tempfile.NamedTemporaryFile("w", suffix=".cnf", delete=False) as options:
        options.write("[client]\nmax_allowed_packet=%d\n" % (1 << 30))
    start = time.monotonic()
    try:
        connection = MySQLdb.connect(host=args.host, port=args.port, user=args.user,
                                     passwd=args.password, db=args.database,
                                     read_default_file=options.name)
    finally:
        os.unlink(options.name)
    sql = "INSERT INTO %s (%s) VALUES (%%s)" % (quoted(args.table), quoted(args.field))
    cursor = connection.cursor()
    files = size = 0
    if args.batch:
        values = []
        for path in args.files:
            with open(path, "rb") as f:
                values.append((f.read(),))
        values = [v for v in values if v[0]]
        cursor.executemany(sql, values)
        connection.commit()
        files = len(values)
        size = sum(len(v[0]) for v in values)
    else:
        connection.autocommit(True)
        for path in args.files:
            with open(path, "rb") as f:
                data = f.read()
            if not data:
                continue
            cursor.execute(sql, (data,))
            files += 1
            size += len(data)
    cursor.close()
    connection.close()
    seconds = time.monotonic() - start

    mib = size / (1024.0 * 1024.0)
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0  # Linux gives KiB
    print(json.dumps({"op": "upload", "files": files, "bytes": size,
                      "seconds": round(seconds, 3),
                      "mb_per_s": round(mib / seconds, 1) if seconds > 0 else 0.0,
                      "peak_rss_mb": round(peak, 1), "compressed": False},
                     separators=(",", ":")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
