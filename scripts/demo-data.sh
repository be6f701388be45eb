#!/usr/bin/env bash
# Creates the demo database "vantrelle_demo" with a table of sample images, drawn here as small
# PPM pictures, when it does not exist yet.
#   scripts/demo-data.sh DEMO_DIR SOCKET
set -euo pipefail
demo=${1:?usage: demo-data.sh DEMO_DIR SOCKET}
sock=${2:?usage: demo-data.sh DEMO_DIR SOCKET}
sql() { mariadb --no-defaults --socket="$sock" -uroot "$@"; }

if sql -N -e "SHOW DATABASES LIKE 'vantrelle_demo'" | grep -q vantrelle_demo; then exit 0; fi

images="$demo/sample-images"
mkdir -p "$images"
# A w x h picture of horizontal colour bands, in binary PPM.
draw() {
    local file=$1 w=$2 h=$3 r=$4 g=$5 b=$6 y x
    {
        printf 'P6\n%d %d\n255\n' "$w" "$h"
        for ((y = 0; y < h; y++)); do
            local row="" px
            px=$(printf '\\%03o\\%03o\\%03o' $(( (r + y * 3) % 256 )) $(( (g + y) % 256 )) "$b")
            for ((x = 0; x < w; x++)); do row+=$px; done
            printf "$row"
        done
    } >"$file"
}
draw "$images/sunrise.ppm" 48 32 200 80 20
draw "$images/sea.ppm" 40 40 10 90 200
draw "$images/forest.ppm" 64 24 20 160 40

hex() { od -An -tx1 -v "$1" | tr -d ' \n'; }
sql -e "CREATE DATABASE vantrelle_demo;
USE vantrelle_demo;
CREATE TABLE images (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(100), picture LONGBLOB);
CREATE TABLE documents (id INT AUTO_INCREMENT PRIMARY KEY, title TEXT, content MEDIUMBLOB);
INSERT INTO images (name, picture) VALUES
  ('sunrise', X'$(hex "$images/sunrise.ppm")'),
  ('sea', X'$(hex "$images/sea.ppm")'),
  ('forest', X'$(hex "$images/forest.ppm")'),
  ('missing', NULL);
INSERT INTO documents (title, content) VALUES ('readme', 'Files stored in a BLOB column.');"
