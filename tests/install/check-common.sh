# Sourced by the installation checks: a temporary folder $work, removed at
# exit, and failures that are counted, so one run reports all of them.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Ends the check: prints MESSAGE and exits 0 when nothing failed, else exits 1.
finish() {
  [ "$failures" -eq 0 ] && echo "$1"
  exit $(( failures > 0 ))
}
