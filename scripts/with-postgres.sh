#!/bin/sh
# Runs a command against a throw-away PostgreSQL server:
#   scripts/with-postgres.sh COMMAND [ARGS...]
# A new cluster is made in a temporary folder, listens on a Unix socket in
# that folder and on 127.0.0.1 at a free port only, and the command runs
# with QOR_TEST_PGSQL set to a connection text for it (QOR_TEST_PGSQL_SOCKET
# holds the same over the socket). Afterwards the server is stopped and the
# folder removed, also when the command fails or is interrupted; the exit
# status is the command's.
# PostgreSQL refuses to run as root: run as root, the server runs as the
# "postgres" user of Debian's package (made as a system user when missing).
set -eu

if [ "$#" -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi

bindir=""
if command -v initdb >/dev/null 2>&1; then
    bindir=$(dirname "$(command -v initdb)")
else
    for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V); do bindir=$d; done
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ] || [ ! -x "$bindir/pg_ctl" ]; then
    echo "$0: PostgreSQL is not installed (Debian package \"postgresql\"; see scripts/install-deps.sh)" >&2
    exit 2
fi

as_server() { "$@"; }
server_user=$(id -un)
if [ "$(id -u)" = "0" ]; then
    server_user=postgres
    if ! id "$server_user" >/dev/null 2>&1; then
        useradd --system --no-create-home --shell /usr/sbin/nologin "$server_user"
    fi
    as_server() { runuser -u "$server_user" -- "$@"; }
fi

# As root the folder goes to /tmp, which the server's user can reach
# (a TMPDIR below /root would not be).
if [ "$(id -u)" = "0" ]; then tmp=/tmp; else tmp=${TMPDIR:-/tmp}; fi
base=$(mktemp -d "$tmp/qor-pg.XXXXXX")
data="$base/data"
started=0
cleanup() {
    status=$?
    trap - EXIT INT TERM HUP
    if [ "$started" = 1 ]; then
        as_server "$bindir/pg_ctl" stop -D "$data" -m immediate -w >/dev/null 2>&1 || true
    fi
    rm -rf "$base"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The socket folder is the temporary folder itself: owned by the server's
# user, readable by the caller.
chmod 755 "$base"
[ "$server_user" = "$(id -un)" ] || chown "$server_user" "$base"

user=qor
password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
printf '%s\n' "$password" >"$base/pw"
[ "$server_user" = "$(id -un)" ] || chown "$server_user" "$base/pw"
as_server "$bindir/initdb" -D "$data" -U "$user" --pwfile="$base/pw" -E UTF8 --locale=C \
    --auth-local=trust --auth-host=scram-sha-256 >"$base/initdb.log" 2>&1 || {
    cat "$base/initdb.log" >&2
    exit 1
}
rm -f "$base/pw"

free_port() {
    /usr/bin/python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

# A port found free may be taken before the server binds it: try again.
tries=0
while :; do
    port=$(free_port)
    started=1
    if as_server "$bindir/pg_ctl" start -D "$data" -w -t 60 -l "$base/server.log" \
        -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$base -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
        >/dev/null 2>&1; then
        break
    fi
    started=0
    tries=$((tries + 1))
    if [ "$tries" -ge 5 ]; then
        echo "$0: the PostgreSQL server did not start:" >&2
        cat "$base/server.log" >&2 || true
        exit 1
    fi
done

QOR_TEST_PGSQL="DRIVER=QPSQL;HOST=127.0.0.1;PORT=$port;DATABASE=postgres;UID=$user;PWD=$password"
QOR_TEST_PGSQL_SOCKET="DRIVER=QPSQL;HOST=$base;PORT=$port;DATABASE=postgres;UID=$user"
export QOR_TEST_PGSQL QOR_TEST_PGSQL_SOCKET
echo "with-postgres: server on 127.0.0.1:$port and $base" >&2

set +e
"$@"
status=$?
set -e
exit "$status"
