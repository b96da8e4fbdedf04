#!/usr/bin/env bash
# The main job of `make run`. With a display (DISPLAY or WAYLAND_DISPLAY set) it opens the
# desktop program. Without one it crawls the demo site shipped with the program with
# tessaly-crawl and prints the report; the demo site has a broken link on purpose, so exit status
# 1 (broken addresses found) is the expected outcome there. Addresses outside the site are not
# checked: the demo needs no network.
set -uo pipefail
build=${1:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/tessaly" ]; then
  shift || true
  exec "$build/tessaly" "$@"
fi
"$build/tessaly-crawl" --no-external resources/demo-site/index.html
status=$?
if [ "$status" -eq 1 ]; then
  echo
  echo "tessaly-crawl found the demo site's broken link, as it should."
  if [ -x "$build/tessaly" ]; then
    echo "No display here: to open the desktop program, run 'make run' on a desktop, or try" \
      "'xvfb-run -a $build/tessaly resources/demo-site/index.html' (make screenshots shows it in pictures)."
  fi
  exit 0
fi
exit "$status"
