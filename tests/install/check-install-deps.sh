#!/usr/bin/env bash
# Checks scripts/install-deps.sh against a package manager of its own: a
# package whose triggers are pending counts as installed, and apt-get waits
# for the lock of another run (DPkg::Lock::Timeout for the install; a retry
# for "update", whose lists lock that option does not cover).
# Usage: check-install-deps.sh SOURCE-FOLDER
set -euo pipefail
source_folder=$1
. "$(dirname "$0")/check-common.sh"

bin=$work/bin
mkdir "$bin"
# dpkg-query: every package installed or awaiting triggers, but for $QUORVANE_MISSING.
cat >"$bin/dpkg-query" <<'SCRIPT'
#!/usr/bin/env bash
shift 2  # -W -f=FORMAT
states=(installed triggers-pending triggers-awaited)
i=0
for p in "$@"; do
  if [ "$p" = "${QUORVANE_MISSING:-}" ]; then echo "$p half-installed"; else echo "$p ${states[i++ % 3]}"; fi
done
SCRIPT
# apt-get: logs its arguments; the first "update" finds the lists locked.
cat >"$bin/apt-get" <<'SCRIPT'
#!/usr/bin/env bash
echo "$*" >>"$QUORVANE_APT_LOG"
if [[ " $* " == *" update "* ]] && [ ! -e "$QUORVANE_APT_LOG.locked" ]; then
  touch "$QUORVANE_APT_LOG.locked"
  echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4711 (apt-get)" >&2
  exit 100
fi
SCRIPT
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$bin/sudo"
chmod +x "$bin"/*

export QUORVANE_APT_LOG=$work/apt.log
run() { PATH="$bin:$PATH" "$source_folder/scripts/install-deps.sh" >"$work/out" 2>&1; }

run || fail "exit code $? with nothing missing"
[ ! -s "$work/out" ] || fail "output with nothing missing: $(cat "$work/out")"
[ ! -e "$QUORVANE_APT_LOG" ] || fail "apt-get ran with nothing missing: $(cat "$QUORVANE_APT_LOG")"

QUORVANE_MISSING=xvfb run || fail "exit code $? with xvfb missing: $(cat "$work/out")"
mapfile -t calls <"$QUORVANE_APT_LOG"
[ "${#calls[@]}" -eq 3 ] || fail "apt-get calls: ${calls[*]}"
for call in "${calls[@]}"; do
  [[ "$call" == "-o DPkg::Lock::Timeout=600 "* ]] || fail "apt-get without the lock timeout: $call"
done
[[ "${calls[1]}" == *" update "* ]] || fail "update not tried again: ${calls[1]:-}"
[[ "${calls[2]}" == *" install "*" xvfb" ]] || fail "install: ${calls[2]:-}"

finish "install-deps.sh counts pending triggers as installed and waits for the lock"
