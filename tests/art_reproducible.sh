#!/usr/bin/env bash
# The icons and pointers in src/app/res are exactly what src/app/art/make_art.py draws.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 "$root/src/app/art/make_art.py" "$out"
status=0
for f in "$out"/*; do
  name=$(basename "$f")
  if ! cmp -s "$f" "$root/src/app/res/$name"; then
    echo "differs from its source: src/app/res/$name"
    status=1
  fi
done
[ "$(ls "$out" | wc -l)" -eq "$(ls "$root/src/app/res" | wc -l)" ] || { echo "file sets differ"; status=1; }
exit $status
