#!/usr/bin/env bash
# The main job of `make run`: crawl the demo site shipped with the program and print the report.
# The demo site has a broken link on purpose, so exit status 1 (broken addresses found) is the
# expected outcome here. Addresses outside the site are not checked: the demo needs no network.
set -uo pipefail
build=${1:-build}
"$build/tessaly-crawl" --no-external resources/demo-site/index.html
status=$?
if [ "$status" -eq 1 ]; then
  echo
  echo "tessaly-crawl found the demo site's broken link, as it should."
  exit 0
fi
exit "$status"
