#!/usr/bin/env bash
# Times the comparison with an earlier project (tessaly-crawl --compare) on the projects of two
# generated sites (the bench site of bench/scale.sh): the newer of SIZE addresses, the older of
# nine tenths of them with another seed, so that addresses are new and answers differ. Prints the
# time and peak memory of tessaly-crawl --open of the newer project alone and with --compare of
# the older one (the difference is the comparison's own cost) and the comparison's counts.
#
# Usage: bench/compare.sh SIZE [build-folder]       (e.g. 100000, 1000000)
# Environment: KEEP_WORK=1
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=${1:?usage: bench/compare.sh SIZE [build-folder]}
build=$(cd "${2:-$root/build}" && pwd)
tool=$build/bench-project-file
crawl=$build/tessaly-crawl
[ -x "$tool" ] || { echo "no bench-project-file in $build: cmake --build $build --target bench-project-file" >&2; exit 2; }
[ -x "$crawl" ] || { echo "no tessaly-crawl in $build" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is needed (Debian package time)" >&2; exit 2; }
work=$(mktemp -d /tmp/tessaly-compare-XXXXXX)
cleanup() { if [ -n "${KEEP_WORK:-}" ]; then echo "work folder kept: $work" >&2; else rm -rf "$work"; fi; }
trap cleanup EXIT

"$tool" make "$((size * 9 / 10))" "$work/old.tly" 2 >/dev/null
"$tool" make "$size" "$work/new.tly" 2 >/dev/null
echo "projects: $(grep -am1 '^Links=' "$work/old.tly" | tr -dc 0-9) and $(grep -am1 '^Links=' "$work/new.tly" | tr -dc 0-9) addresses"
# 1: broken addresses found, which is no failure here.
/usr/bin/time -f 'open alone:         %e s wall, %U s user, %S s system, %M KB peak' \
  "$crawl" --open "$work/new.tly" >/dev/null || [ $? -eq 1 ]
/usr/bin/time -f 'open with --compare: %e s wall, %U s user, %S s system, %M KB peak' \
  "$crawl" --open "$work/new.tly" --compare "$work/old.tly" >"$work/report.txt" || [ $? -eq 1 ]
grep -aE '^(Compared with|New addresses|Gone addresses|Newly broken|Fixed|Changed titles)' "$work/report.txt"
