#!/usr/bin/env bash
# Fails when a file of a portable layer includes anything but the C++ standard
# library and the tree's own headers: platform and toolkit headers belong in
# the back-end folders (linux/, win32/) and in ui/qt.
set -euo pipefail
cd "$(dirname "$0")/.."

standard='algorithm|any|array|atomic|bit|bitset|cassert|cctype|cerrno|cfloat|charconv|chrono|cinttypes|climits|cmath|compare|concepts|condition_variable|cstddef|cstdint|cstdio|cstdlib|cstring|ctime|deque|exception|filesystem|fstream|functional|initializer_list|iomanip|ios|iosfwd|iostream|istream|iterator|limits|list|locale|map|memory|mutex|new|numeric|optional|ostream|queue|random|ranges|ratio|set|span|sstream|stack|stdexcept|streambuf|string|string_view|system_error|thread|tuple|type_traits|typeinfo|unordered_map|unordered_set|utility|variant|vector'

status=0
for dir in common catalogue versioninfo trust probes report resources ui/rules; do
  [ -d "$dir" ] || continue
  # Only the layer's own files, not its back-end folders.
  while IFS= read -r file; do
    while IFS= read -r line; do
      header=$(sed -E 's/^#include <([^>]+)>.*/\1/' <<<"$line")
      if ! grep -qxE "$standard" <<<"$header"; then
        echo "$file: platform or toolkit header <$header> in a portable layer"
        status=1
      fi
    done < <(grep -E '^#include <' "$file" || true)
  done < <(find "$dir" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \))
done
[ $status -eq 0 ] && echo "portable layers include only standard and own headers"
exit $status
