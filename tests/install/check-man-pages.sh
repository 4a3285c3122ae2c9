#!/usr/bin/env bash
# Checks the man pages of a build: groff formats each without a warning, also
# for a narrow terminal, and the report command's page describes every option
# that the command's own --help names.
# Usage: check-man-pages.sh MAN-PAGE-FOLDER REPORT-PROGRAM
set -euo pipefail
pages=$1
report=$2
. "$(dirname "$0")/check-common.sh"

for page in "$pages"/*.1; do
  for width in 78n 60n; do
    warnings=$(LC_ALL=C.UTF-8 groff -t -man -Tutf8 -ww -z -rLL="$width" "$page" 2>&1) || warnings+=" (groff failed)"
    if [ -n "$warnings" ]; then
      fail "${page##*/} at line length $width: $warnings"
    fi
  done
done

# The page as text, its hyphens plain.
text=$(LC_ALL=C.UTF-8 groff -t -man -Tascii -P-cbou "$pages/quorvane-report.1" 2>/dev/null)
options=$("$report" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "no options found in the help"
for option in $options; do
  if ! grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$text"; then
    fail "the man page of quorvane-report does not describe $option"
  fi
done

finish "man pages format cleanly and describe the options: $(echo $options)"
