#!/bin/sh
# Builds each named target alone in an empty build folder and runs its tests there: a target
# that misses a library, a generated file or a file shipped beside the program fails here,
# even when a full build hides it. Slow (one configuration and build per target): run by hand
# after changing the build, not under `make test`.
#   scripts/check-targets.sh [--build-only] [TARGET...]
# Without targets: the command-line program and every test target of the core.
set -eu
cd "$(dirname "$0")/.."
run_tests=1
if [ "${1:-}" = "--build-only" ]; then run_tests=0; shift; fi
targets=${*:-"tessaly-crawl test_kel test_app test_dialogs test_platform test_tools test_layers"}
jobs=${JOBS:-2}
launcher=
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
failed=
for target in $targets; do
  dir=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-target.XXXXXX")
  printf '%s: ' "$target"
  # shellcheck disable=SC2086
  if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_FUZZ_TESTS=OFF $launcher >"$dir.log" 2>&1 ||
     ! cmake --build "$dir" -j"$jobs" --target "$target" >>"$dir.log" 2>&1; then
    echo "does not build alone (log: $dir.log)"; failed="$failed $target"; continue
  fi
  # The tests of a target: its label, without those of another target that shares it (the
  # sanitized desktop crawl carries the asan label but is the program tessaly-asan's test).
  exclude=asan_desktop_crawl
  case $target in
    test_gui_dialogs) label=guidialogs ;;
    test_*) label=${target#test_} ;;
    tessaly-asan) label=asan; exclude=asan_html ;;
    *) label= ;;
  esac
  if [ "$run_tests" = 1 ] && [ -n "$label" ]; then
    if ! QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
         ctest --test-dir "$dir" -j"$jobs" -L "^$label\$" -E "$exclude" --output-on-failure >>"$dir.log" 2>&1; then
      echo "builds alone, but its tests fail there (log: $dir.log)"; failed="$failed $target"; continue
    fi
    echo "builds alone, its tests pass"
  elif [ "$target" = tessaly-crawl ]; then
    # The program itself: a crawl of the demo site (spell-checked with the shipped dictionary)
    # and the export that copies the shipped tree images (exit 1: the demo has broken links).
    out="$dir/out"; mkdir -p "$out"
    status=0
    "$dir/tessaly-crawl" --quiet --export-dhtml "$out/map.htm" resources/demo-site/index.html >"$out/crawl.log" 2>&1 || status=$?
    cat "$out/crawl.log" >>"$dir.log"
    if [ "$status" -gt 1 ] || ! [ -s "$out/treeview_item.gif" ] || grep -qi "english.txt" "$out/crawl.log"; then
      echo "builds alone, but its crawl or export lacks a file (log: $dir.log)"; failed="$failed $target"; continue
    fi
    echo "builds alone, crawls the demo site and exports with the shipped files"
  else
    echo "builds alone"
  fi
  rm -rf "$dir" "$dir.log"
done
if [ -n "$failed" ]; then echo "failed:$failed" >&2; exit 1; fi
