#!/usr/bin/env bash
# The completion script offers each program's options and the values of
# options that take a fixed set, and it knows every option its man page
# describes.
set -u
status=0
source "$SOURCE_DIR/contrib/bash-completion/vantotools" || exit 1

# Completes the words given (the last one is the word under the cursor) and
# prints the offers sorted on one line.
offers() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _vantotools_complete "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]:-}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() {
  local want=$1; shift
  local got; got=$(offers "$@")
  if [ "$got" != "$want" ]; then
    echo "completing '$*':"; echo "  want: $want"; echo "  got:  $got"; status=1
  fi
}

expect "1 2 3 4 5" vantoget -d ""
expect "1 2 3" vantoget -C ""
expect "M d h m s w y" vantoget -u ""
expect "0 1 2 3 4" streamcat -d ""
expect "-T" vantoput -c X -d 1 -T
expect "" vantozmq_subscribe ""
expect "" vantoget -c ""

# File names after the options that name files.
scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
touch "$scratch/settings.sr"
expect "$scratch/settings.sr" vantoget -f "$scratch/set"
expect "$scratch/settings.sr" vantoput -f "$scratch/set"
expect "$scratch/settings.sr" vantoget --svg "$scratch/set"

# Every option of each man page is offered, long options included.
for program in vantoget vantoput streamcat; do
  page="$SOURCE_DIR/docs/man/$program.1"
  documented=$(sed -n '/^\.SH OPTIONS/,/^\.SH EXIT/p' "$page" |
               grep -A1 '^\.TP' | grep -E '^\.(B|BI|BR) ' |
               grep -oE '\\-\\-[a-z]+|\\-[A-Za-z]([ "]|$)' | tr -d '\\ "' | sort -u)
  offered=$(offers "$program" "-" | tr ' ' '\n' | sort -u)
  missing=$(comm -23 <(echo "$documented") <(echo "$offered"))
  extra=$(comm -13 <(echo "$documented") <(echo "$offered"))
  if [ -n "$missing$extra" ]; then
    echo "$program: not offered:" $missing "; offered but not documented:" $extra; status=1
  fi
done
exit $status
