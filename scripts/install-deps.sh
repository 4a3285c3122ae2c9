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
  g++-mingw-w64-x86-64-posix wine64             # the Windows build and its test runs
  openssl osslsigncode                          # the signed files of the Windows signature tests
  fonts-liberation2                             # Wine's sans-serif for the Windows window (Arial's metrics)
  g++-mingw-w64-i686-posix                      # the check of the 32-bit record sizes
  xvfb xauth                                    # a virtual display for window runs without one
  procps                                        # ps, the benchmarks' reference
  clang-14 libclang-rt-14-dev                   # libFuzzer and its sanitizers for tests/fuzz
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
