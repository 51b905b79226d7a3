#!/usr/bin/env bash
# Stops the soft IOC and repeater that scripts/epics-up.sh STATE_DIR started
# and removes STATE_DIR. One that does not end within 5 s after SIGTERM is
# killed (the IOC at once: it ignores SIGTERM).
set -uo pipefail
state=${1:?usage: epics-down.sh STATE_DIR}
[ -d "$state" ] || exit 0
# softIoc ends its main thread and runs on in the others: a process lives
# while any of its threads is not a zombie.
alive() {
  [ -n "$1" ] && [ -n "$(grep -L '^State:[[:space:]]*Z' /proc/"$1"/task/*/status 2>/dev/null)" ]
}
for name in ioc repeater; do
  f="$state/$name.pid"
  [ -e "$f" ] || continue
  pid=$(cat "$f")
  if [ -n "$pid" ] && alive "$pid"; then
    # The threads that softIoc runs on block SIGTERM: it ends only by SIGKILL.
    [ "$name" = ioc ] && kill -KILL "$pid" 2>/dev/null
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
