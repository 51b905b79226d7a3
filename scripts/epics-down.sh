#!/usr/bin/env bash
# Stops the soft IOC and repeater that scripts/epics-up.sh STATE_DIR started
# and removes STATE_DIR. One that does not end within 5 s after SIGTERM is
# killed (the IOC at once: it ignores SIGTERM).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: epics-down.sh STATE_DIR}
[ -d "$state" ] || exit 0
program=epics-down
# shellcheck source=stack-common.sh
. "$here/stack-common.sh"

for name in ioc repeater; do
  f="$state/$name.pid"
  [ -e "$f" ] || continue
  pid=$(cat "$f")
  # The threads that softIoc runs on block SIGTERM: it ends only by SIGKILL.
  if [ "$name" = ioc ] && alive "$pid"; then kill -KILL "$pid" 2>/dev/null; fi
  stop_process "$pid"
  rm -f "$f"
done
rm -rf "$state"
