# Sourced by the scripts that stand the Tango and EPICS test installations up
# and down (scripts/tango-*.sh, scripts/epics-*.sh): what they share about
# processes and ports. Needs $state (the stack's folder) and $program (the
# name its messages begin with).

# True while a thread of process $1 runs. A process whose main thread has
# ended runs on in its others (softIoc does so); a zombie counts as stopped,
# since a stopped server may stay one for seconds on these machines.
alive() {
  [ -n "$1" ] && [ -n "$(grep -L '^State:[[:space:]]*Z' /proc/"$1"/task/*/status 2>/dev/null)" ]
}

# True when a process recorded in $state/*.pid still runs.
stack_runs() {
  local f
  for f in "$state"/*.pid; do
    [ -e "$f" ] || continue
    alive "$(cat "$f")" && return 0
  done
  return 1
}

# A port nothing listens on (TCP, and UDP too when $1 is "udp"), below the
# kernel's ephemeral range so that outgoing connections do not take it
# meanwhile.
free_port() {
  local kinds=t port
  [ "${1:-}" = udp ] && kinds=tu
  for _ in $(seq 200); do
    port=$((20000 + RANDOM % 12000))
    if ! ss -H"$kinds"ln "sport = :$port" | grep -q .; then
      echo "$port"
      return 0
    fi
  done
  echo "$program: no free port found" >&2
  return 1
}

# Stops process $1: SIGTERM, up to 5 s, then SIGKILL.
stop_process() {
  local pid=$1
  alive "$pid" || return 0
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 50); do
    alive "$pid" || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  return 0
}
