#!/usr/bin/env bash
# Stands up a Tango installation on loopback for the end-to-end tests:
# MariaDB with the Tango schema, the DataBaseds database server, a TangoTest
# server registered in it (devices sys/tg_test/1 and sys/tg_test/2), a
# second TangoTest that runs without a database (device sys/tg_test/1), and
# the device sys/tg_stopped/1, registered but never started.
#
#   scripts/tango-up.sh STATE_DIR
#
# Every port is chosen free at start, every server listens on 127.0.0.1 only.
# On success STATE_DIR/env holds the shell assignments
#   TANGO_HOST=127.0.0.1:PORT         the database
#   VANTO_TANGO_NODB=127.0.0.1:PORT   the server without a database
# and scripts/tango-down.sh STATE_DIR stops it all. Refuses to start over a
# stack that still runs in STATE_DIR. Each step waits for the servers to
# answer (tango_admin pings), never for exit codes: DataBaseds exits 0 when
# it cannot start.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: tango-up.sh STATE_DIR}
mkdir -p "$state"
state=$(cd "$state" && pwd)

program=tango-up
# shellcheck source=stack-common.sh
. "$here/stack-common.sh"
if stack_runs; then
  echo "tango-up: a Tango stack still runs in $state (scripts/tango-down.sh $state stops it)" >&2
  exit 1
fi
rm -rf "${state:?}"/*

# On any failure the half-started stack goes down again.
trap 'status=$?; if [ $status -ne 0 ]; then "$here/tango-down.sh" "$state" >/dev/null 2>&1 || true; fi' EXIT

# Runs cmd until it succeeds, at most seconds long.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local end=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    if ((SECONDS >= end)); then
      echo "tango-up: $what did not come up within ${seconds}s" >&2
      for log in "$state"/*.log; do
        [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
      done
      return 1
    fi
    sleep 0.2
  done
}

start() {  # start NAME COMMAND...: runs COMMAND in the background, logs to NAME.log
  local name=$1
  shift
  "$@" >"$state/$name.log" 2>&1 &
  echo $! >"$state/$name.pid"
}

# MariaDB, private to this stack.
db_port=$(free_port)
mariadb-install-db --no-defaults --datadir="$state/mysql" --user=root \
  --auth-root-authentication-method=normal --skip-test-db --skip-name-resolve \
  --innodb-log-file-size=8M >"$state/install-db.log" 2>&1
start mariadb mariadbd --no-defaults --datadir="$state/mysql" --user=root \
  --bind-address=127.0.0.1 --port="$db_port" --socket="$state/mysql.sock" \
  --innodb-log-file-size=8M --skip-name-resolve
sql() { mariadb --no-defaults --socket="$state/mysql.sock" -uroot "$@"; }
wait_until 30 MariaDB sql -e 'SELECT 1'
sql <<'EOF'
CREATE DATABASE tango;
CREATE USER 'tango'@'127.0.0.1' IDENTIFIED BY 'tango';
GRANT ALL ON tango.* TO 'tango'@'127.0.0.1';
EOF
(cd /usr/share/dbconfig-common/data/tango-db/install && sql tango <mysql) >"$state/schema.log" 2>&1

# The database server.
tango_port=$(free_port)
export TANGO_HOST=127.0.0.1:$tango_port
MYSQL_USER=tango MYSQL_PASSWORD=tango MYSQL_HOST=127.0.0.1:$db_port \
  start databaseds /usr/lib/tango/DataBaseds 2 -ORBendPoint "giop:tcp:127.0.0.1:$tango_port"
wait_until 30 DataBaseds tango_admin --ping-database 1

# TangoTest in the database. long_scalar_w is polled every 100 ms and has an
# absolute change criterion, so that a write to it sends a change event; ampli
# is polled without a change criterion (periodic events only). The other
# attributes are not polled: a read right after a write sees the new value,
# not the polling cache.
tango_admin --add-server TangoTest/test TangoTest sys/tg_test/1,sys/tg_test/2
tango_admin --add-server TangoTest/stopped TangoTest sys/tg_stopped/1
tango_admin --add-property sys/tg_test/1 polled_attr long_scalar_w,100,ampli,100
sql tango -e "INSERT INTO property_attribute_device (device, attribute, name, count, value, updated, accessed)
  VALUES ('sys/tg_test/1', 'long_scalar_w', 'abs_change', 1, '1', NOW(), NOW());"
start tangotest /usr/lib/tango/TangoTest test -ORBendPoint giop:tcp:127.0.0.1:0
wait_until 30 TangoTest tango_admin --ping-device sys/tg_test/1 1

# TangoTest without a database.
nodb_port=$(free_port)
start tangotest-nodb /usr/lib/tango/TangoTest nodb -nodb -dlist sys/tg_test/1 \
  -ORBendPoint "giop:tcp:127.0.0.1:$nodb_port"
wait_until 30 "TangoTest without a database" \
  bash -c "exec 3<>/dev/tcp/127.0.0.1/$nodb_port"

cat >"$state/env" <<EOF
TANGO_HOST=127.0.0.1:$tango_port
VANTO_TANGO_NODB=127.0.0.1:$nodb_port
EOF
echo "tango-up: TANGO_HOST=127.0.0.1:$tango_port VANTO_TANGO_NODB=127.0.0.1:$nodb_port"
