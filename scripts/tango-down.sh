#!/usr/bin/env bash
# Stops the Tango installation that scripts/tango-up.sh STATE_DIR started and
# removes STATE_DIR. The servers stop in the reverse order of their start;
# one that does not end within 5 s after SIGTERM is killed. A stopped server
# may stay a zombie for a while: that counts as stopped.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: tango-down.sh STATE_DIR}
[ -d "$state" ] || exit 0
program=tango-down
# shellcheck source=stack-common.sh
. "$here/stack-common.sh"

for name in tangotest-nodb tangotest databaseds mariadb; do
  f="$state/$name.pid"
  [ -e "$f" ] || continue
  stop_process "$(cat "$f")"
  rm -f "$f"
done
rm -rf "$state"
