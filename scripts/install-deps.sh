#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need. Idempotent and
# silent when everything is there; needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkgconf     # native tool chain
  libgtest-dev googletest libbenchmark-dev      # tests (googletest: sources for the cross build), benchmarks
  qt6-base-dev libgl-dev fonts-dejavu-core      # the Linux window
  qt6-translations-l10n                         # Qt's own dialog texts in the user's language
  desktop-file-utils groff-base dpkg-dev file   # checks of the desktop entry and man pages; the .deb's dependencies
  libicu-dev                                    # language names
  nettle-dev                                    # checksums of package files and of our caches
  nlohmann-json3-dev                            # package notes of ELF files (JSON)
  librpm-dev libalpm-dev libarchive-dev         # headers of librpm and libalpm, loaded for rpm and pacman databases
  rpm pacman-package-manager                    # the tests build rpm and pacman databases with the real tools,
  libarchive-tools fakeroot                     #   pacman's packages with bsdtar, as a normal user under fakeroot
  g++-mingw-w64-x86-64-posix wine64             # the Windows build and its test runs
  openssl osslsigncode                          # the signed files of the Windows signature tests
  fonts-liberation2                             # Wine's sans-serif for the Windows window (Arial's metrics)
  g++-mingw-w64-i686-posix                      # the check of the 32-bit record sizes
  xvfb xauth                                    # a virtual display for window runs without one
  procps                                        # ps, the benchmarks' reference
  clang-14 libclang-rt-14-dev                   # libFuzzer and its sanitizers for tests/fuzz
  python3-jsonschema                            # holds the JSON report to its schema in the tests
)

# Installed: unpacked and configured. A package whose triggers are still to
# run (another apt run is processing them) is installed as well.
declare -A installed=()
while read -r name status; do
  case "$status" in
    installed|triggers-pending|triggers-awaited) installed[$name]=1 ;;
  esac
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# Another apt run (unattended upgrades, a second build) may hold the package
# manager's lock: wait for it rather than fail.
lock_wait=600
# (The environment goes through env: sudo would drop it.)
apt_get() { $sudo env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout="$lock_wait" "$@"; }

# The lock of the package lists, which "apt-get update" takes, is one that
# DPkg::Lock::Timeout does not wait for: retry while another run holds it.
update_lists() {
  local deadline=$((SECONDS + lock_wait)) output
  until output=$(apt_get update -qq 2>&1); do
    if ! grep -q 'Could not get lock' <<<"$output" || [ "$SECONDS" -ge "$deadline" ]; then
      printf '%s\n' "$output" >&2
      return 1
    fi
    sleep 2
  done
  [ -z "$output" ] || printf '%s\n' "$output" >&2
}

update_lists
apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
