#!/usr/bin/env bash
# The desktop program against tessaly-crawl on the generated site of crawl-compare.sh (about
# 3,500 addresses, served on loopback): the desktop crawl runs offscreen, started with the
# address and quitting when idle. Prints both times and their ratio (target: within 1.2), the
# longest gap between two 10 ms ticks on the desktop program's user-interface thread (target:
# under 100 ms) and how long "All" takes to list the map (target: under 100 ms).
#
# Usage: bench/gui-crawl.sh [build-folder] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-3}
for p in tessaly tessaly-crawl; do
  [ -x "$build/$p" ] || { echo "no $p in $build: build it first" >&2; exit 2; }
done

work=$(mktemp -d /tmp/tessaly-gui-bench-XXXXXX)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The site, made by crawl-compare.sh's own generator.
source <(sed -n '/^make_generated_site()/,/^}/p' "$root/bench/crawl-compare.sh")
make_generated_site "$work/site"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do (echo >/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break; sleep 0.1; done
url="http://127.0.0.1:$port/"
echo "Site: $(find "$work/site" -type f | wc -l) files at $url"

export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
now() { date +%s.%N; }
for r in $(seq 1 "$rounds"); do
  start=$(now)
  "$build/tessaly-crawl" --no-external -q "$url" >/dev/null 2>&1 || true
  cli_end=$(now)
  report=$("$build/tessaly" --benchmark "$url" 2>/dev/null)
  gui_end=$(now)
  python3 -c "
cli = $cli_end - $start; gui = $gui_end - $cli_end
print(f'round $r: tessaly-crawl {cli:.2f} s, tessaly {gui:.2f} s (ratio {gui / cli:.2f}), start-up included')"
  echo "$report" | sed 's/^/  /'
done
