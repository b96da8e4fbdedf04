#!/usr/bin/env bash
# Crawls a generated site of SIZE addresses (bench-site-server, no files) with tessaly-crawl
# without limits, wget --spider -r and, when installed, linkinator, and prints each tool's wall
# time, CPU time (user + sys), peak memory and time per address, with the ratios to
# tessaly-crawl's. tessaly-crawl's project is then saved and opened again, timed.
#
# Usage: bench/scale.sh SIZE [build-folder]
# Environment: TOOLS="tessaly-crawl wget linkinator"  SEED=1  KEEP_WORK=1
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=${1:?usage: bench/scale.sh SIZE [build-folder]}
build=$(cd "${2:-$root/build}" && pwd)
tools=${TOOLS:-tessaly-crawl wget linkinator}
seed=${SEED:-1}
crawl=$build/tessaly-crawl
server_bin=$build/bench-site-server
[ -x "$crawl" ] || { echo "no tessaly-crawl in $build" >&2; exit 2; }
[ -x "$server_bin" ] || { echo "no bench-site-server in $build: cmake --build $build --target bench-site-server" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is needed (Debian package time)" >&2; exit 2; }

work=$(mktemp -d /tmp/tessaly-scale-XXXXXX)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  if [ -n "${KEEP_WORK:-}" ]; then echo "work folder kept: $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$server_bin" "$size" "$seed" >"$work/port" &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")
url="http://127.0.0.1:$port/"

# measure NAME command...: runs it under GNU time; prints "wall cpu rss_kb".
measure() {
  local name=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" || true
  tail -n 1 "$work/$name.time" | awk '{ printf "%s %.2f %d\n", $1, $2 + $3, $4 }'
}

declare -A wall cpu rss
addresses=""
for tool in $tools; do
  case $tool in
    tessaly-crawl)
      read -r w c m < <(measure crawl "$crawl" --quiet --no-external --max-addresses 0 --max-queue 0 --save "$work/site.tly" "$url")
      addresses=$(grep -m1 '^Links=' "$work/site.tly" | tr -dc 0-9)
      ;;
    wget) read -r w c m < <(measure wget wget --spider -r -l inf -np -nd -nv -e robots=off -P "$work/wget" "$url") ;;
    linkinator)
      command -v linkinator >/dev/null || { echo "linkinator is not installed: skipped" >&2; continue; }
      read -r w c m < <(measure linkinator linkinator "$url" --recurse --silent) ;;
    *) echo "unknown tool '$tool'" >&2; exit 2 ;;
  esac
  wall[$tool]=$w cpu[$tool]=$c rss[$tool]=$m
done

printf 'Site: %s addresses asked, %s in tessaly-crawl'"'"'s map\n' "$size" "${addresses:-?}"
printf '%-14s %10s %10s %12s %14s %8s %8s %8s\n' tool wall_s cpu_s peak_rss_MB us_per_address wall_x cpu_x rss_x
for tool in $tools; do
  [ -n "${wall[$tool]:-}" ] || continue
  per=$(echo "scale=1; ${wall[$tool]} * 1000000 / ${addresses:-$size}" | bc)
  rx() { echo "scale=2; $1 / $2" | bc; }
  printf '%-14s %10s %10s %12s %14s %8s %8s %8s\n' "$tool" "${wall[$tool]}" "${cpu[$tool]}" \
    "$((${rss[$tool]} / 1024))" "$per" "$(rx "${wall[$tool]}" "${wall[tessaly-crawl]}")" \
    "$(rx "${cpu[$tool]}" "${cpu[tessaly-crawl]}")" "$(rx "${rss[$tool]}" "${rss[tessaly-crawl]}")"
done
if [ -f "$work/site.tly" ]; then
  read -r w c m < <(measure open "$crawl" --quiet --open "$work/site.tly" --save "$work/again.tly")
  printf 'tessaly-crawl --open and --save of the project (%s MB): %s s wall, %s MB peak\n' \
    "$(($(stat -c %s "$work/site.tly") / 1048576))" "$w" "$((m / 1024))"
fi
