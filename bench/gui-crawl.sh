#!/usr/bin/env bash
# The desktop program against tessaly-crawl on the generated site of crawl-compare.sh (about
# 3,500 addresses) and, when installed, the PostgreSQL manual (postgresql-doc), both served by
# nginx on loopback: a slow server would hide the program's own cost. The desktop crawl runs
# offscreen (or on the display given by DISPLAY with TESSALY_BENCH_DISPLAY=1), started with the
# address and quitting when idle, once with the preview shown (as the program starts) and once
# with it hidden (--no-preview: no web view in the window, which then paints without OpenGL).
# On a display the window covers the screen (TESSALY_BENCH_GEOMETRY, default 1920x1080+0+0, as
# maximized on a 1920x1080 screen). Prints each side's wall time and CPU time and their ratios
# (targets: wall within 1.2, CPU within 1.5; the desktop's start-up is counted apart), the
# longest gap between two 10 ms ticks on the desktop program's user-interface thread (target:
# under 100 ms) and how long "All" takes to list the map (target: under 100 ms).
#
# Needs nginx (apt-get install nginx-light).
# Usage: bench/gui-crawl.sh [build-folder] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-3}
for p in tessaly tessaly-crawl; do
  [ -x "$build/$p" ] || { echo "no $p in $build: build it first" >&2; exit 2; }
done
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || { echo "nginx is needed: apt-get install nginx-light" >&2; exit 2; }

work=$(mktemp -d /tmp/tessaly-gui-bench-XXXXXX)
chmod 755 "$work"  # nginx's workers run as another user
cleanup() {
  if [ -f "$work/nginx.pid" ]; then kill "$(cat "$work/nginx.pid")" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The sites: the generated one, made by crawl-compare.sh's own generator, and the manual.
source <(sed -n '/^make_generated_site()/,/^}/p' "$root/bench/crawl-compare.sh")
make_generated_site "$work/site"
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port)
manual=/usr/share/doc/postgresql-doc-15/html
manual_port=$(free_port)
mkdir -p "$work/tmp"
{
  echo "worker_processes 1; daemon on; pid $work/nginx.pid; error_log $work/error.log;"
  echo "events { worker_connections 512; }"
  echo "http { include /etc/nginx/mime.types; access_log off;"
  for t in client_body proxy fastcgi uwsgi scgi; do echo "${t}_temp_path $work/tmp/$t;"; done
  echo "server { listen 127.0.0.1:$port; root $work/site; }"
  [ -d "$manual" ] && echo "server { listen 127.0.0.1:$manual_port; root $manual; }"
  echo "}"
} >"$work/nginx.conf"
"$nginx" -c "$work/nginx.conf" -p "$work" 2>/dev/null
for _ in $(seq 1 100); do (echo >/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break; sleep 0.1; done

if [ "${TESSALY_BENCH_DISPLAY:-0}" != 1 ]; then
  export QT_QPA_PLATFORM=offscreen
else
  export TESSALY_BENCH_GEOMETRY=${TESSALY_BENCH_GEOMETRY:-1920x1080+0+0}
fi
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# One measured run: wall and CPU seconds of the command (children included), and its output.
measure() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
out = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, text=True).stdout
wall = time.monotonic() - start
ru = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{wall:.3f} {ru.ru_utime + ru.ru_stime:.3f}")
sys.stdout.write(out)
PY
}

bench_site() {
  local name=$1 url=$2
  echo "$name: $url"
  for r in $(seq 1 "$rounds"); do
    local cli gui preview
    for preview in shown hidden; do
    cli=$(measure "$build/tessaly-crawl" --no-external -q "$url")
    local extra=()
    [ "$preview" = hidden ] && extra+=(--no-preview)
    gui=$(measure "$build/tessaly" --benchmark --no-external -NoSplash "${extra[@]}" "$url")
    python3 - "$r, preview $preview" "$cli" "$gui" <<'PY'
import re, sys
r, cli, gui = sys.argv[1], sys.argv[2].splitlines(), sys.argv[3].splitlines()
cw, cc = map(float, cli[0].split())
gw, gc = map(float, gui[0].split())
crawl = next((float(m.group(1)) for l in gui if (m := re.match(r"desktop crawl: ([0-9.]+) s", l))), gw)
print(f"  round {r}: tessaly-crawl {cw:.2f} s wall, {cc:.2f} s CPU; tessaly {gw:.2f} s wall "
      f"({crawl:.2f} s crawling, the rest start-up and close), {gc:.2f} s CPU")
print(f"    ratios: wall {gw / cw:.2f} (crawl only {crawl / cw:.2f}), CPU {gc / cc:.2f}")
for l in gui[1:]:
    print("    " + l)
PY
    done
  done
}

bench_site "Generated site ($(find "$work/site" -type f | wc -l) files)" "http://127.0.0.1:$port/"
if [ -d "$manual" ]; then
  bench_site "PostgreSQL manual" "http://127.0.0.1:$manual_port/index.html"
else
  echo "PostgreSQL manual: not installed (apt-get install postgresql-doc-15)"
fi
