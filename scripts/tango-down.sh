#!/usr/bin/env bash
# Stops the Tango installation that scripts/tango-up.sh STATE_DIR started and
# removes STATE_DIR. The servers stop in the reverse order of their start;
# one that does not end within 5 s after SIGTERM is killed. A stopped server
# may stay a zombie for a while: that counts as stopped.
set -uo pipefail
state=${1:?usage: tango-down.sh STATE_DIR}
[ -d "$state" ] || exit 0

alive() {
  [ -d "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

for name in tangotest-nodb tangotest databaseds mariadb; do
  f="$state/$name.pid"
  [ -e "$f" ] || continue
  pid=$(cat "$f")
  if [ -n "$pid" ] && alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 50); do
      alive "$pid" || break
      sleep 0.1
    done
    alive "$pid" && kill -KILL "$pid" 2>/dev/null
  fi
  rm -f "$f"
done
rm -rf "$state"
