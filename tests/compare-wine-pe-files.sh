#!/usr/bin/env bash
# Rates every PE file that Debian's Wine installs twice: with the Linux
# build's quorvane-report (our own PE reader) and with the Windows build's
# quorvane-report.exe under Wine (the Windows version API), and fails when the
# maker, description, version, remark or rating of any file differ.
# Usage: tests/compare-wine-pe-files.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
linux=$1/main/quorvane-report
windows=$2/main/quorvane-report.exe
folder=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -d "$folder" ] || { echo "no Wine PE files in $folder (Debian package wine64)" >&2; exit 1; }
for program in "$linux" "$windows"; do
  [ -f "$program" ] || { echo "$program is not built" >&2; exit 1; }
done

. "$(dirname "$0")/../scripts/wine-env.sh"
quorvane_find_wine
export WINEPREFIX=${WINEPREFIX:-$PWD/$2/wineprefix} LANG=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"; quorvane_stop_wine' EXIT

find "$folder" -maxdepth 1 -type f | sort > "$work/files"
# Batches keep the Windows command line below its length limit.
split -l 200 "$work/files" "$work/batch."
for batch in "$work"/batch.*; do
  mapfile -t files < "$batch"
  "$linux" --files "${files[@]}" | tail -n +2 >> "$work/linux.tsv"
  windows_names=()
  for f in "${files[@]}"; do windows_names+=("Z:${f//\//\\}"); done
  "$QUORVANE_WINE" "$windows" --files "${windows_names[@]}" | tail -n +2 | iconv -f CP1252 -t UTF-8 >> "$work/windows.tsv"
done

# Columns 2-4 and 6-7: maker, description, version, remark, rating. The
# language column is left out: the Linux build names languages through ICU.
cut -f 2-4,6,7 "$work/linux.tsv" > "$work/linux.values"
cut -f 2-4,6,7 "$work/windows.tsv" > "$work/windows.values"
count=$(wc -l < "$work/files")
if [ "$(wc -l < "$work/windows.values")" -ne "$count" ] || ! diff -q "$work/linux.values" "$work/windows.values" >/dev/null; then
  echo "Wine's PE files: the PE reader and the Windows version API differ:"
  diff <(paste "$work/files" "$work/linux.values") <(paste "$work/files" "$work/windows.values") | head -20
  exit 1
fi
echo "Wine's PE files: $count files rated alike by the PE reader and the Windows version API"
