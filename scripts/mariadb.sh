#!/usr/bin/env bash
# A private MariaDB server in a folder of its own, on loopback, a free port and its own socket.
#   scripts/mariadb.sh start DIR   starts it (creating DIR on first use) and prints shell lines
#                                  that export its coordinates as VANTRELLE_TEST_*
#   scripts/mariadb.sh stop DIR    stops it
# The account it creates: user "vantrelle", password "vantrelle-secret", all privileges.
# The server speaks TLS with a throw-away certificate authority and server certificate that are made
# in DIR/tls on first start. It listens on 127.0.0.1, or on the address in MARIADB_BIND (the far end
# of a simulated link, for instance).
set -euo pipefail

cmd=${1:?usage: mariadb.sh start|stop DIR}
dir=$(realpath -m "${2:?usage: mariadb.sh start|stop DIR}")
user=vantrelle
password=vantrelle-secret
sock="$dir/mysqld.sock"
bind=${MARIADB_BIND:-127.0.0.1}

mariadbd_bin=$(command -v mariadbd || echo /usr/sbin/mariadbd)

running() { [ -f "$dir/mysqld.pid" ] && kill -0 "$(cat "$dir/mysqld.pid")" 2>/dev/null; }

free_port() {
    local p
    for _ in $(seq 1 200); do
        p=$(( 20000 + RANDOM % 30000 ))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return 0; fi
    done
    echo "no free port found" >&2
    return 1
}

case "$cmd" in
start)
    mkdir -p "$dir"
    run_as=()
    [ "$(id -u)" -eq 0 ] && run_as=(--user=root)
    if ! running; then
        if [ ! -d "$dir/data/mysql" ]; then
            mariadb-install-db --no-defaults --datadir="$dir/data" "${run_as[@]}" \
                --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 ||
                { cat "$dir/install.log" >&2; exit 1; }
        fi
        if [ ! -f "$dir/tls/server-cert.pem" ]; then
            mkdir -p "$dir/tls"
            (
                cd "$dir/tls"
                openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj /CN=vantrelle-test-ca \
                    -keyout ca-key.pem -out ca.pem
                openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 \
                    -keyout server-key.pem -out server-req.pem
                openssl x509 -req -in server-req.pem -CA ca.pem -CAkey ca-key.pem -CAcreateserial \
                    -days 3650 -out server-cert.pem
            ) >"$dir/tls.log" 2>&1 || { cat "$dir/tls.log" >&2; exit 1; }
        fi
        port=$(free_port)
        echo "$port" >"$dir/port"
        "$mariadbd_bin" --no-defaults --datadir="$dir/data" --socket="$sock" --port="$port" \
            --bind-address="$bind" --pid-file="$dir/mysqld.pid" --log-error="$dir/error.log" \
            --max-allowed-packet=1G --innodb-buffer-pool-size=128M --innodb-log-file-size=256M \
            --ssl-ca="$dir/tls/ca.pem" --ssl-cert="$dir/tls/server-cert.pem" \
            --ssl-key="$dir/tls/server-key.pem" --skip-name-resolve "${run_as[@]}" >/dev/null 2>&1 &
        for _ in $(seq 1 300); do
            mariadb-admin --no-defaults --socket="$sock" -uroot ping >/dev/null 2>&1 && break
            sleep 0.1
        done
        mariadb-admin --no-defaults --socket="$sock" -uroot ping >/dev/null 2>&1 ||
            { echo "the MariaDB server did not start; its log:" >&2; tail -n 30 "$dir/error.log" >&2; exit 1; }
        mariadb --no-defaults --socket="$sock" -uroot -e "
            CREATE USER IF NOT EXISTS '$user'@'%' IDENTIFIED BY '$password';
            GRANT ALL PRIVILEGES ON *.* TO '$user'@'%' WITH GRANT OPTION;"
    fi
    echo "export VANTRELLE_TEST_HOST=$bind"
    echo "export VANTRELLE_TEST_PORT=$(cat "$dir/port")"
    echo "export VANTRELLE_TEST_USER=$user"
    echo "export VANTRELLE_TEST_PASSWORD=$password"
    echo "export VANTRELLE_TEST_SOCKET=$sock"
    ;;
stop)
    if running; then
        mariadb-admin --no-defaults --socket="$sock" -uroot shutdown >/dev/null 2>&1 ||
            kill "$(cat "$dir/mysqld.pid")" 2>/dev/null || true
        for _ in $(seq 1 100); do running || break; sleep 0.1; done
    fi
    ;;
*)
    echo "usage: mariadb.sh start|stop DIR" >&2
    exit 2
    ;;
esac
