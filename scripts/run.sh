#!/usr/bin/env bash
# The main job of `make run`: crawl the demo site shipped with the program and print the report.
set -euo pipefail
build=${1:-build}
if [ -x "$build/tessaly-crawl" ]; then
  exec "$build/tessaly-crawl" resources/demo-site/index.html
fi
echo "Tessaly is built in $build/: the core library (tessaly_core) and its tests."
echo "The crawl command tessaly-crawl is not part of this build yet; run 'make test' to exercise the core."
