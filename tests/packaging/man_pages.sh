#!/usr/bin/env bash
# Every man page renders without a single groff warning and has the sections
# a reader looks for.
set -u
status=0
pages=("$SOURCE_DIR"/docs/man/*.[0-9])
[ ${#pages[@]} -eq 6 ] || { echo "expected 6 man pages, found: ${pages[*]}"; status=1; }

for page in "${pages[@]}"; do
  name=$(basename "$page")
  warnings=$(groff -man -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    echo "$name: groff warnings:"; echo "$warnings"; status=1
  fi
  # man's own formatter, as a user would see the page.
  warnings=$(MANWIDTH=80 man -l -Tutf8 "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$name: man -l warnings:"; echo "$warnings"; status=1
  fi
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES EXAMPLES "SEE ALSO"; do
    case $name in
      # A file format has no exit status or environment of its own.
      *.5) case $section in "EXIT STATUS"|ENVIRONMENT) continue ;; esac ;;
    esac
    grep -q "^\.SH \"\?$section\"\?\$" "$page" || { echo "$name: no section $section"; status=1; }
  done
  case $name in
    *.1|*.8) grep -q 'VANTO_ENS' "$page" || { echo "$name: VANTO_ENS not described"; status=1; } ;;
  esac
  # The title line names the page it is installed as.
  title=$(sed -n 's/^\.TH \([^ ]*\) \([0-9]\) .*/\1.\2/p' "$page" | tr 'A-Z' 'a-z' | sed 's/\\-/-/g')
  [ "$title" = "$name" ] || { echo "$name: .TH names $title"; status=1; }
done

# The exit statuses streamcat's page lists are those its tests check.
statuses=$(sed -n '/^\.SH EXIT STATUS/,/^\.SH [^E]/p' "$SOURCE_DIR/docs/man/streamcat.1" |
  grep -A1 '^\.TP' | sed -n 's/^\.B \([0-9][0-9]*\)$/\1/p' | tr '\n' ' ')
[ "$statuses" = "0 1 255 " ] || { echo "streamcat.1: EXIT STATUS lists '$statuses', not 0 1 255"; status=1; }

# Every option a program's own help text names is described in its man page.
options_of_page() {
  sed -n '/^\.SH OPTIONS/,/^\.SH EXIT/p' "$1" |
    grep -A1 '^\.TP' | grep -E '^\.(B|BI|BR) ' |
    grep -oE '\\-[A-Za-z]([ "]|$)' | grep -oE '[A-Za-z]' | sed 's/^/-/' | sort -u
}
options_of_help() {
  "$@" 2>&1 </dev/null | sed '/EXAMPLES\|Examples/q' |
    grep -oE '(^|[[:space:][])-[A-Za-z]([[:space:]]|\]|$)' | grep -oE '\-[A-Za-z]' | sort -u
}
for program in "$VANTOGET" "$VANTOPUT" "$STREAMCAT"; do
  name=$(basename "$program")
  help=$(options_of_help "$program" -h)
  [ -n "$help" ] || { echo "$name: no options found in its help text"; status=1; continue; }
  missing=$(comm -13 <(options_of_page "$SOURCE_DIR/docs/man/$name.1") <(echo "$help"))
  if [ -n "$missing" ]; then
    echo "$name.1 does not describe these options of the help text:" $missing; status=1
  fi
done
exit $status
