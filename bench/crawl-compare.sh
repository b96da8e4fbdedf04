#!/usr/bin/env bash
# Crawls two static sites served by nginx on loopback with tessaly-crawl (4 workers), wget
# --spider -r, linkchecker (its per-host rate limit raised) and linkinator 6, external checks
# off for all, and prints for each tool the medians of its wall time, CPU time (user + sys,
# children included) and peak memory (largest process), with the ratios to tessaly-crawl's.
#
# The sites:
#   generated   about 3,500 addresses: pages in nested folders, images, some broken links
#   postgresql  Debian's PostgreSQL 15 manual (package postgresql-doc-15): 1,173 files, 18 MB
#               of HTML in one flat folder
#
# Usage: bench/crawl-compare.sh [build-folder] [rounds]
#   build-folder  where tessaly-crawl is (default: build/ of this checkout)
#   rounds        runs of each tool on each site, the tools taking turns (default 3)
# Environment:
#   TESSALY_CRAWL=/path/to/tessaly-crawl   measure that binary instead (an older or newer build;
#                                          its english.txt must be beside it)
#   SITES="generated postgresql"           the sites to crawl, in that order
#   TOOLS="tessaly-crawl wget linkchecker linkinator"   the tools (tessaly-crawl always runs:
#                                          the ratios are to it)
#   KEEP_WORK=1                            keep the work folder (sites, outputs, timings)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-3}
crawl=${TESSALY_CRAWL:-$build/tessaly-crawl}
sites=${SITES:-generated postgresql}
tools=${TOOLS:-tessaly-crawl wget linkchecker linkinator}
[ -x "$crawl" ] || { echo "no tessaly-crawl at $crawl: build it first (make), or set TESSALY_CRAWL" >&2; exit 2; }
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || { echo "rounds must be a positive number, not '$rounds'" >&2; exit 2; }
[[ " $tools " == *" tessaly-crawl "* ]] || tools="tessaly-crawl $tools"
crawl=$(cd "$(dirname "$crawl")" && pwd)/$(basename "$crawl")

"$root/scripts/install-deps.sh" "$root/bench/packages.txt"
if [[ " $tools " == *" linkinator "* ]] && ! command -v npm >/dev/null; then
  "$root/scripts/install-deps.sh" <(printf 'nodejs\nnpm\n')
fi

work=$(mktemp -d /tmp/tessaly-bench-XXXXXX)
chmod 755 "$work"  # nginx's workers (and linkchecker, run as root) read it as another user
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  if [ -n "${KEEP_WORK:-}" ]; then echo "work folder kept: $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# linkinator 6 (later releases need a newer Node.js than Debian's).
linkinator="$work/node_modules/.bin/linkinator"
if [[ " $tools " == *" linkinator "* ]]; then
  (cd "$work" && npm install --silent --no-audit --no-fund linkinator@6 >/dev/null 2>&1) ||
    { echo "npm could not install linkinator 6" >&2; exit 2; }
fi

# ---------------------------------------------------------------------------------------------
# The sites

# Generated: 20 sections of 8 folders of 16 pages; 3 images a folder; every 8th page links to
# a page that does not exist.
make_generated_site() {
  local site=$1
  mkdir -p "$site"
  local words="site page widget folder section about the and for with product order price stock news report"
  local para="<p>$words $words $words.</p><p>$words $words.</p>"
  echo "body{font-family:sans-serif}" >"$site/style.css"
  {
    echo "<html><head><title>Bench site</title><link rel=stylesheet href=style.css></head><body>$para"
    for s in $(seq 1 20); do echo "<a href=\"s$s/\">Section $s</a>"; done
    echo "</body></html>"
  } >"$site/index.html"
  local gif
  gif=$(printf 'GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;' | base64 -w0)
  for s in $(seq 1 20); do
    mkdir -p "$site/s$s"
    {
      echo "<html><head><title>Section $s</title></head><body>$para<a href=\"../\">Home</a>"
      for f in $(seq 1 8); do echo "<a href=\"f$f/\">Folder $f</a>"; done
      echo "</body></html>"
    } >"$site/s$s/index.html"
    for f in $(seq 1 8); do
      local dir="$site/s$s/f$f"
      mkdir -p "$dir"
      for i in 1 2 3; do echo "$gif" | base64 -d >"$dir/img$i.gif"; done
      {
        echo "<html><head><title>Folder $s.$f</title></head><body>$para<a href=\"../\">Up</a>"
        for p in $(seq 1 16); do echo "<a href=\"p$p.html\">Page $p</a>"; done
        echo "</body></html>"
      } >"$dir/index.html"
      for p in $(seq 1 16); do
        local next=$((p % 16 + 1)) prev=$(((p + 14) % 16 + 1))
        {
          echo "<html><head><title>Page $s.$f.$p</title><meta name=description content=\"Page $p\"></head><body>$para"
          echo "<img src=\"img$((p % 3 + 1)).gif\"><a href=\"index.html\">Folder</a>"
          echo "<a href=\"p$next.html\">Next</a> <a href=\"p$prev.html\">Previous</a> <a href=\"/s$s/\">Section</a>"
          if [ $((p % 8)) -eq 0 ]; then echo "<a href=\"missing$p.html\">Gone</a>"; fi
          echo "</body></html>"
        } >"$dir/p$p.html"
      done
    done
  done
}

declare -A site_root site_port
for s in $sites; do
  case $s in
    generated)
      site_root[$s]="$work/site"
      make_generated_site "${site_root[$s]}"
      ;;
    postgresql)
      site_root[$s]=/usr/share/doc/postgresql-doc-15/html
      [ -f "${site_root[$s]}/index.html" ] ||
        { echo "${site_root[$s]}/index.html is missing: is postgresql-doc-15 installed?" >&2; exit 2; }
      ;;
    *) echo "unknown site '$s' (generated, postgresql)" >&2; exit 2 ;;
  esac
done

# ---------------------------------------------------------------------------------------------
# nginx: one server per site, each on a free loopback port

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_nginx() {
  mkdir -p "$work/nginx/logs"
  {
    cat <<CONF
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log warn;
events { worker_connections 1024; }
http {
  types { text/html html; text/css css; image/gif gif; image/svg+xml svg; image/png png; }
  access_log off;
CONF
    for s in $sites; do
      cat <<CONF
  server {
    listen 127.0.0.1:${site_port[$s]};
    # linkchecker allows more than 10 requests a second only to servers that send this header.
    add_header LinkChecker 1 always;
    root ${site_root[$s]};
    index index.html;
  }
CONF
    done
    echo "}"
  } >"$work/nginx/nginx.conf"
  nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" -g "daemon off;" 2>>"$work/nginx/logs/start.log" &
  nginx_pid=$!
  local s
  for _ in $(seq 1 50); do
    kill -0 "$nginx_pid" 2>/dev/null || break
    local up=1
    for s in $sites; do (echo >/dev/tcp/127.0.0.1/"${site_port[$s]}") 2>/dev/null || up=0; done
    [ "$up" = 1 ] && return 0
    sleep 0.1
  done
  kill "$nginx_pid" 2>/dev/null || true
  wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=""
  return 1
}

# A port found free may be taken before nginx binds it: then try other ports.
started=""
for _ in 1 2 3 4 5; do
  for s in $sites; do site_port[$s]=$(free_port); done
  if start_nginx; then started=1; break; fi
done
[ -n "$started" ] || { echo "nginx did not start:" >&2; cat "$work/nginx/logs/"*.log >&2; exit 2; }

cat >"$work/linkcheckerrc" <<CONF
[checking]
threads=10
maxrequestspersecond=1000
[output]
status=0
CONF

# ---------------------------------------------------------------------------------------------
# Measuring

# Sets `cmd` to the command line of a tool on a site's address.
tool_command() {
  local tool=$1 url=$2 out=$3
  case $tool in
    tessaly-crawl) cmd=("$crawl" --quiet --no-external --threads 4 "$url") ;;
    wget) cmd=(wget --spider -r -l inf -np -nd -nv -e robots=off -P "$out" "$url") ;;
    linkchecker) cmd=(linkchecker -f "$work/linkcheckerrc" --no-warnings "$url") ;;
    # Only loopback addresses: linkinator checks the links to other hosts unless told not to.
    linkinator) cmd=("$linkinator" "$url" --recurse --silent --skip '^(?!http://127\.0\.0\.1:)') ;;
    *)
      echo "unknown tool '$tool' (tessaly-crawl, wget, linkchecker, linkinator)" >&2
      exit 2
      ;;
  esac
}

# Runs a tool once; appends "wall cpu peak-KB" to its figures file.
run_once() {
  local site=$1 tool=$2 url=$3
  local out="$work/out/$site-$tool"
  mkdir -p "$out"
  local -a cmd
  tool_command "$tool" "$url" "$out"
  # At most 10 minutes a run; a tool's own exit status (broken links found) does not matter.
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" timeout 600 "${cmd[@]}" >"$out.log" 2>&1 || true
  rm -rf "$out"
  local wall user sys mem
  read -r wall user sys mem < <(tail -n 1 "$work/time.txt")
  echo "$wall $(echo "$user + $sys" | bc -l) $mem" >>"$work/figures-$site-$tool"
}

# The median of column `col` of a figures file, or with "min" or "max" after it, that.
figure() {
  local file=$1 col=$2 which=${3:-median}
  local n line
  n=$(wc -l <"$file")
  case $which in
    min) line=1 ;;
    max) line=$n ;;
    *) line=$(((n + 1) / 2)) ;;
  esac
  awk -v c="$col" '{print $c}' "$file" | sort -g | sed -n "${line}p"
}

echo "tessaly-crawl: $crawl"
echo "$rounds rounds on each site, the tools taking turns; medians of the rounds."
echo "wall: seconds; cpu: user + sys seconds, child processes included; peak: largest process, MB."
echo "Measured on a machine shared with other work: read the ratios rather than single figures."
for s in $sites; do
  url="http://127.0.0.1:${site_port[$s]}/"
  files=$(find "${site_root[$s]}" -type f | wc -l)
  mb=$(du -sm --apparent-size "${site_root[$s]}" | cut -f1)
  for _ in $(seq 1 "$rounds"); do
    for t in $tools; do run_once "$s" "$t" "$url"; done
  done
  echo
  echo "Site $s: $files files, $mb MB, served by nginx at $url"
  read -r base_t base_c base_m < <(
    echo "$(figure "$work/figures-$s-tessaly-crawl" 1) $(figure "$work/figures-$s-tessaly-crawl" 2)" \
      "$(figure "$work/figures-$s-tessaly-crawl" 3)"
  )
  printf '%-14s %8s %13s %8s %8s %10s %9s %10s\n' tool "wall s" "(min-max)" "cpu s" "peak MB" "wall/ours" "cpu/ours" \
    "peak/ours"
  for t in $tools; do
    f="$work/figures-$s-$t"
    wt=$(figure "$f" 1) ct=$(figure "$f" 2) mm=$(figure "$f" 3)
    range=$(printf '(%.2f-%.2f)' "$(figure "$f" 1 min)" "$(figure "$f" 1 max)")
    printf '%-14s %8.2f %13s %8.2f %8.1f %10.2f %9.2f %10.2f\n' "$t" "$wt" "$range" "$ct" \
      "$(echo "$mm / 1024" | bc -l)" "$(echo "$wt / $base_t" | bc -l)" "$(echo "$ct / $base_c" | bc -l)" \
      "$(echo "$mm / $base_m" | bc -l)"
  done
  # What tessaly-crawl found, to check that every tool crawled the whole site.
  summary=$("$crawl" --no-external --threads 4 "$url" 2>/dev/null || true)
  echo "tessaly-crawl: $(echo "$summary" | awk '/^  All/ {print $2}') addresses," \
    "$(echo "$summary" | awk '/^  Broken Links/ {print $3}') broken"
done
