#!/usr/bin/env bash
# The manual pages against the programs' own --help: every command, its
# arguments and every option of --help appear in the page, the page names
# no command the program lacks, and groff reads the page without a warning.
# Usage: check-manpages.sh VELMORA-CLI VELMORA VELMORA-MODEM-SIM MANDIR
set -uo pipefail
cli=$1 desktop=$2 sim=$3 mandir=$4
failed=0

render() { # the page as plain text on one long line per paragraph
  groff -man -Tascii -P-cbou -rLL=3000n -rHY=0 "$1" 2>/dev/null | sed 's/^ *//; s/  */ /g'
}

lint() {
  local warnings
  warnings=$(groff -man -ww -z "$1" 2>&1)
  if [ -n "$warnings" ]; then echo "$1: groff warns: $warnings"; failed=1; fi
}

need() { # need PAGE-TEXT WHAT...
  local text=$1; shift
  for what in "$@"; do
    if ! grep -qF -- "$what" <<<"$text"; then echo "$page: lacks '$what'"; failed=1; fi
  done
}

options_of() { grep -oE -- '--[a-z][a-z-]*' | sort -u; }

# velmora-cli: "  NAME USAGE" lines of --help are the commands.
page=$mandir/velmora-cli.1
lint "$page"
text=$(render "$page")
help=$("$cli" --help) || { echo "velmora-cli --help failed"; exit 1; }
mapfile -t commands < <(sed -n '/^Commands:/,$p' <<<"$help" | grep -E '^  [a-z]' | sed 's/^  //')
[ ${#commands[@]} -gt 10 ] || { echo "no commands in velmora-cli --help"; exit 1; }
# The COMMANDS section holds exactly the commands of --help, each with its arguments.
entries=$(awk '/^\.SH /{on=($2=="COMMANDS")} on&&tp{print; tp=0} on&&/^\.TP/{tp=1}' "$page" \
  | sed 's/\\f[BIR]//g; s/\\-/-/g')
diff <(printf '%s\n' "${commands[@]}" | sort) <(sort <<<"$entries") >/dev/null || {
  echo "$page: COMMANDS differ from velmora-cli --help (< help, > page):"
  diff <(printf '%s\n' "${commands[@]}" | sort) <(sort <<<"$entries") | grep '^[<>]'
  failed=1
}
mapfile -t options < <(sed -n '1,/^Commands:/p' <<<"$help" | options_of)
need "$text" "${options[@]}"
for section in NAME SYNOPSIS DESCRIPTION FILES ENVIRONMENT "EXIT STATUS" EXAMPLES; do
  grep -qx -- "$section" <<<"$text" || { echo "$page: no $section section"; failed=1; }
done

# velmora and the simulator: every option of --help.
for pair in "velmora.1:$desktop" "velmora-modem-sim.1:$sim"; do
  page=$mandir/${pair%%:*}
  lint "$page"
  text=$(render "$page")
  help=$("${pair#*:}" --help) || { echo "${pair#*:} --help failed"; exit 1; }
  mapfile -t options < <(options_of <<<"$help")
  need "$text" "${options[@]}"
  for word in $(grep -oE '\b[A-Z]{4,}\b' <<<"$(head -1 <<<"$help")" | grep -vE '^(OPTIONS|PATH|DIR)$'); do
    need "$text" "$word"
  done
done

[ $failed -eq 0 ] && echo "manual pages match --help"
exit $failed
