#!/usr/bin/env bash
# The cost of "Check Anchors": tessaly-crawl (4 workers, external checks off) crawls Debian's
# PostgreSQL 15 manual served by nginx on loopback, with the check on and with --no-anchors,
# the two taking turns; prints the medians of the wall time, the CPU time (user + sys) and the
# peak memory of each, their ratios, and the broken anchors the manual has. A crawl of the
# manual takes about a second: on a shared machine, read the medians of many rounds.
#
# Usage: bench/anchors-cost.sh [build-folder] [rounds]
#   build-folder  where tessaly-crawl is (default: build/ of this checkout)
#   rounds        runs of each (default 21)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-21}
crawl=$build/tessaly-crawl
site=/usr/share/doc/postgresql-doc-15/html
[ -x "$crawl" ] || { echo "no tessaly-crawl at $crawl: build it first" >&2; exit 2; }
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || { echo "rounds must be a positive number, not '$rounds'" >&2; exit 2; }
"$root/scripts/install-deps.sh" <(grep -E "^(nginx-light|time|bc|postgresql-doc-15)\b" "$root/bench/packages.txt")
[ -f "$site/index.html" ] || { echo "$site/index.html is missing: is postgresql-doc-15 installed?" >&2; exit 2; }

work=$(mktemp -d /tmp/tessaly-anchors-XXXXXX)
chmod 755 "$work"
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/nginx/logs"
cat >"$work/nginx/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log warn;
events { worker_connections 1024; }
http {
  types { text/html html; text/css css; image/gif gif; image/svg+xml svg; image/png png; }
  access_log off;
  server { listen 127.0.0.1:$port; root $site; index index.html; }
}
CONF
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" -g "daemon off;" 2>>"$work/nginx/logs/start.log" &
nginx_pid=$!
for _ in $(seq 1 50); do
  (echo >/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
  sleep 0.1
done
url="http://127.0.0.1:$port/"

# Runs tessaly-crawl once with the arguments given; appends "wall cpu peak-KB" to the file named
# first.
run_once() {
  local figures=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$crawl" --quiet --no-external --threads 4 "$@" "$url" \
    >/dev/null 2>&1 || true
  local wall user sys mem
  read -r wall user sys mem < <(tail -n 1 "$work/time.txt")
  echo "$wall $(echo "$user + $sys" | bc -l) $mem" >>"$figures"
}
median() { awk -v c="$2" '{print $c}' "$1" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

for _ in $(seq 1 "$rounds"); do
  run_once "$work/on"
  run_once "$work/off" --no-anchors
done
on_t=$(median "$work/on" 1) on_c=$(median "$work/on" 2) on_m=$(median "$work/on" 3)
off_t=$(median "$work/off" 1) off_c=$(median "$work/off" 2) off_m=$(median "$work/off" 3)
echo "PostgreSQL manual at $url: $(find "$site" -type f | wc -l) files; $rounds rounds each, medians"
printf '%-14s %8s %8s %9s\n' "" "wall s" "cpu s" "peak MB"
printf '%-14s %8.2f %8.2f %9.1f\n' "anchors on" "$on_t" "$on_c" "$(echo "$on_m / 1024" | bc -l)"
printf '%-14s %8.2f %8.2f %9.1f\n' "--no-anchors" "$off_t" "$off_c" "$(echo "$off_m / 1024" | bc -l)"
printf '%-14s %8.3f %8.3f %9.3f\n' "on / off" "$(echo "$on_t / $off_t" | bc -l)" "$(echo "$on_c / $off_c" | bc -l)" \
  "$(echo "$on_m / $off_m" | bc -l)"
report=$("$crawl" --no-external --threads 4 "$url" 2>/dev/null || true)
echo "$(echo "$report" | awk '/^  All/ {print $2}') addresses," \
  "$(echo "$report" | awk '/^Broken anchors:/ {n = $3} END {print n + 0}') broken anchors"
