#!/usr/bin/env bash
# Saves and opens the project of a generated site of SIZE addresses (the bench site of
# bench/scale.sh, built in memory as a crawl of it would leave it, without a server), and prints
# the time and peak memory of each step: the save, the load and the save of the loaded project
# in a fresh process (whole, and a slice at a time as the recovery file is written, with the
# longest slice), and tessaly-crawl --open of the file. The saved file of the loaded project
# must equal the original (but for the "Now=" line).
#
# Usage: bench/project-file.sh SIZE [build-folder]       (e.g. 100000, 1000000)
# Environment: SEED=1  KEEP_WORK=1
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=${1:?usage: bench/project-file.sh SIZE [build-folder]}
build=$(cd "${2:-$root/build}" && pwd)
tool=$build/bench-project-file
crawl=$build/tessaly-crawl
[ -x "$tool" ] || { echo "no bench-project-file in $build: cmake --build $build --target bench-project-file" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is needed (Debian package time)" >&2; exit 2; }
work=$(mktemp -d /tmp/tessaly-project-XXXXXX)
cleanup() { if [ -n "${KEEP_WORK:-}" ]; then echo "work folder kept: $work" >&2; else rm -rf "$work"; fi; }
trap cleanup EXIT

echo "== making the project of $size addresses"
"$tool" make "$size" "$work/site.tly" "${SEED:-1}"
echo "project file: $(($(stat -c %s "$work/site.tly") / 1048576)) MB"
echo "== load and save in a fresh process"
/usr/bin/time -f 'process: %e s wall, %U s user, %S s system, %M KB peak' "$tool" load "$work/site.tly" "$work/again.tly"
if cmp -s <(grep -av '^Now=' "$work/site.tly") <(grep -av '^Now=' "$work/again.tly") &&
  cmp -s <(grep -av '^Now=' "$work/site.tly") <(grep -av '^Now=' "$work/again.tly.sliced"); then
  echo "the saved files of the loaded project (whole and sliced) equal the original"
else
  echo "DIFFERENT: the saved file of the loaded project differs from the original" >&2
  exit 1
fi
if [ -x "$crawl" ]; then
  echo "== tessaly-crawl --open"
  /usr/bin/time -f 'tessaly-crawl --open: %e s wall, %U s user, %S s system, %M KB peak' \
    "$crawl" --quiet --open "$work/site.tly" --list All --csv "$work/all.csv" || true  # 1: broken links found
  echo "rows listed: $(($(wc -l <"$work/all.csv") - 1))"
fi
