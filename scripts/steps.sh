# Sourced by the test scripts: runs named steps and says which one failed.
#   quorvane_step NAME COMMAND...   runs COMMAND; on failure prints the step's
#                                   name and exit code and returns that code
#   quorvane_failed_steps           the names of the steps that failed so far

QUORVANE_FAILED_STEPS=()

quorvane_step() {
  local name=$1 rc=0
  shift
  echo "==> $name"
  "$@" || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "${0##*/}: step \"$name\" failed with exit code $rc" >&2
    QUORVANE_FAILED_STEPS+=("$name")
  fi
  return "$rc"
}

# Ends the script: 0 when every step passed, else 1 with the list of failures.
quorvane_finish() {
  if [ ${#QUORVANE_FAILED_STEPS[@]} -eq 0 ]; then
    echo "${0##*/}: all steps passed"
    return 0
  fi
  echo "${0##*/}: ${#QUORVANE_FAILED_STEPS[@]} step(s) failed:" >&2
  printf '  - %s\n' "${QUORVANE_FAILED_STEPS[@]}" >&2
  return 1
}
