#!/usr/bin/env bash
# Builds the Debian package of a build folder with "cpack -G DEB" and checks
# its control fields (dependencies found from the linked libraries), its
# contents, and that the stripped programs in it still know their version.
# Usage: check-debian-package.sh BUILD-FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
. "$(dirname "$0")/check-common.sh"
out=$work

if ! (cd "$out" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out/package" >"$out/cpack.log" 2>&1); then
  cat "$out/cpack.log" >&2
  exit 1
fi
debs=("$out"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made ${#debs[@]} packages" >&2; exit 1; }
deb=${debs[0]}
[ "${deb##*/}" = "quorvane_1.2.0.0_$(dpkg --print-architecture).deb" ] || fail "package file ${deb##*/}"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quorvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.2.0.0 ] || fail "Version: $(field Version)"
for library in libc6 libqt6widgets6 libqt6gui6 libqt6core6 libicu; do
  [[ "$(field Depends)" == *"$library"* ]] || fail "Depends lacks $library: $(field Depends)"
done
# librpm and libalpm are loaded when needed: recommended, never a dependency.
for library in qt6-translations-l10n librpm9 libalpm13; do
  [[ "$(field Recommends)" == *"$library"* ]] || fail "Recommends lacks $library: $(field Recommends)"
done
for library in librpm libalpm; do
  [[ "$(field Depends)" != *"$library"* ]] || fail "Depends has $library: $(field Depends)"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in ./usr/bin/quorvane ./usr/bin/quorvane-report ./usr/share/quorvane/Quorvane.htm \
            ./usr/share/applications/quorvane.desktop ./usr/share/icons/hicolor/32x32/apps/quorvane.png \
            ./usr/share/man/man1/quorvane.1.gz ./usr/share/man/man1/quorvane-report.1.gz; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done

# The stripped report command rates itself from its own package note.
dpkg-deb -x "$deb" "$out/root"
listing=$(ASAN_OPTIONS=detect_leaks=0 "$out/root/usr/bin/quorvane-report" --files "$out/root/usr/bin/quorvane-report")
line=$(sed -n 2p <<<"$listing" | tr -d '\r')
maker=$(awk -F'\t' '{print $2}' <<<"$line")
version=$(awk -F'\t' '{print $4}' <<<"$line")
[ "$maker" = "Quorvane Software" ] && [ "$version" = 1.2.0.0 ] ||
  fail "the packaged program's own version data: $line"

finish "${deb##*/}: Depends: $(field Depends)"
