#!/usr/bin/env bash
# Stands up a soft IOC on loopback for the epics: tests: the records of
# tests/epics/ioc.db and 5000 ao records BENCH:AO0 ... BENCH:AO4999 for the
# list benchmark, with a Channel Access repeater of its own.
#
#   scripts/epics-up.sh STATE_DIR EPICS_BASE_DIR
#
# EPICS_BASE_DIR is the tree that scripts/epics-base.sh built. The server and
# repeater ports are chosen free at start; every packet goes to 127.0.0.1.
# On success STATE_DIR/env holds the Channel Access variables that clients
# need (server port, address list, no broadcast), and scripts/epics-down.sh
# STATE_DIR stops it all. Refuses to start over an IOC that still runs in
# STATE_DIR.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: epics-up.sh STATE_DIR EPICS_BASE_DIR}
base=${2:?usage: epics-up.sh STATE_DIR EPICS_BASE_DIR}
# Absolute, because the env file passes it on to programs that run elsewhere
# (a test that stands up an IOC of its own runs in its build folder).
base=$(cd "$base" 2>/dev/null && pwd) || { echo "epics-up: no folder $2" >&2; exit 1; }
bin=$base/bin/linux-x86_64
[ -x "$bin/softIoc" ] || { echo "epics-up: no softIoc in $bin (scripts/epics-base.sh builds it)" >&2; exit 1; }
mkdir -p "$state"
state=$(cd "$state" && pwd)

program=epics-up
# shellcheck source=stack-common.sh
. "$here/stack-common.sh"
if stack_runs; then
  echo "epics-up: an IOC still runs in $state (scripts/epics-down.sh $state stops it)" >&2
  exit 1
fi
rm -rf "${state:?}"/*
trap 'status=$?; if [ $status -ne 0 ]; then "$here/epics-down.sh" "$state" >/dev/null 2>&1 || true; fi' EXIT

# Channel Access uses TCP and UDP.
server_port=$(free_port udp)
repeater_port=$(free_port udp)
while [ "$repeater_port" = "$server_port" ]; do repeater_port=$(free_port udp); done
cat >"$state/env" <<ENV
EPICS_CA_ADDR_LIST=127.0.0.1
EPICS_CA_AUTO_ADDR_LIST=NO
EPICS_CA_SERVER_PORT=$server_port
EPICS_CA_REPEATER_PORT=$repeater_port
EPICS_CAS_SERVER_PORT=$server_port
EPICS_CAS_INTF_ADDR_LIST=127.0.0.1
EPICS_CAS_AUTO_BEACON_ADDR_LIST=NO
EPICS_CAS_BEACON_ADDR_LIST=127.0.0.1
EPICS_CAS_BEACON_PORT=$repeater_port
VANTO_EPICS_BASE=$base
ENV
set -a
# shellcheck disable=SC1091
. "$state/env"
set +a

for i in $(seq 0 4999); do
  printf 'record(ao, "BENCH:AO%d") {\n  field(VAL, "%d")\n}\n' "$i" "$i"
done >"$state/bench.db"

start() {  # start NAME COMMAND...: runs COMMAND in the background, logs to NAME.log
  local name=$1
  shift
  "$@" </dev/null >"$state/$name.log" 2>&1 &
  echo $! >"$state/$name.pid"
}
start repeater "$bin/caRepeater"
# A client that finds no repeater on its port starts one of its own, which
# nothing would stop: the IOC and the first client wait for this one.
end=$((SECONDS + 10))
until ss -Huln "sport = :$repeater_port" | grep -q .; do
  if ((SECONDS >= end)); then
    echo "epics-up: the Channel Access repeater did not start within 10s" >&2
    cat "$state/repeater.log" >&2
    exit 1
  fi
  sleep 0.1
done
start ioc "$bin/softIoc" -S -a "$here/../tests/epics/ioc.acf" \
  -d "$here/../tests/epics/ioc.db" -d "$state/bench.db"

end=$((SECONDS + 30))
until "$bin/caget" -w 1 TEST:AO >/dev/null 2>&1; do
  if ((SECONDS >= end)) || ! alive "$(cat "$state/ioc.pid")"; then
    echo "epics-up: the soft IOC did not answer within 30s" >&2
    tail -n 20 "$state/ioc.log" >&2
    exit 1
  fi
  sleep 0.2
done
echo "epics-up: EPICS_CA_SERVER_PORT=$server_port"
