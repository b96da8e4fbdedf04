#!/usr/bin/env bash
# Crawls one generated static site (about 3,500 addresses: pages in nested folders, images,
# some broken links), served by nginx on loopback, with tessaly-crawl, wget --spider -r,
# linkchecker (its per-host rate limit raised) and linkinator 6, and prints each one's wall time, peak memory and the ratios to
# tessaly-crawl's. Usage: bench/crawl-compare.sh [build-folder] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-3}
crawl="$build/tessaly-crawl"
[ -x "$crawl" ] || { echo "build tessaly-crawl first (make)"; exit 2; }

"$root/scripts/install-deps.sh" "$root/bench/packages.txt"
if ! command -v npm >/dev/null; then "$root/scripts/install-deps.sh" <(printf 'nodejs\nnpm\n'); fi

work=$(mktemp -d /tmp/tessaly-bench-XXXXXX)
chmod 755 "$work"  # nginx's workers (and linkchecker, run as root) read it as another user
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# linkinator 6 (later releases need a newer Node.js than Debian's).
( cd "$work" && npm install --silent --no-audit --no-fund linkinator@6 >/dev/null 2>&1 )
linkinator="$work/node_modules/.bin/linkinator"

# The site: 20 sections of 8 folders of 16 pages; 3 images a folder; every 8th page links to a
# page that does not exist.
site="$work/site"
mkdir -p "$site"
words="site page widget folder section about the and for with product order price stock news report"
para="<p>$words $words $words.</p><p>$words $words.</p>"
echo "body{font-family:sans-serif}" > "$site/style.css"
{
  echo "<html><head><title>Bench site</title><link rel=stylesheet href=style.css></head><body>$para"
  for s in $(seq 1 20); do echo "<a href=\"s$s/\">Section $s</a>"; done
  echo "</body></html>"
} > "$site/index.html"
gif=$(printf 'GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;' | base64 -w0)
broken=0
for s in $(seq 1 20); do
  mkdir -p "$site/s$s"
  {
    echo "<html><head><title>Section $s</title></head><body>$para<a href=\"../\">Home</a>"
    for f in $(seq 1 8); do echo "<a href=\"f$f/\">Folder $f</a>"; done
    echo "</body></html>"
  } > "$site/s$s/index.html"
  for f in $(seq 1 8); do
    dir="$site/s$s/f$f"
    mkdir -p "$dir"
    for i in 1 2 3; do echo "$gif" | base64 -d > "$dir/img$i.gif"; done
    {
      echo "<html><head><title>Folder $s.$f</title></head><body>$para<a href=\"../\">Up</a>"
      for p in $(seq 1 16); do echo "<a href=\"p$p.html\">Page $p</a>"; done
      echo "</body></html>"
    } > "$dir/index.html"
    for p in $(seq 1 16); do
      next=$(( p % 16 + 1 )); prev=$(( (p + 14) % 16 + 1 ))
      {
        echo "<html><head><title>Page $s.$f.$p</title><meta name=description content=\"Page $p\"></head><body>$para"
        echo "<img src=\"img$(( p % 3 + 1 )).gif\"><a href=\"index.html\">Folder</a>"
        echo "<a href=\"p$next.html\">Next</a> <a href=\"p$prev.html\">Previous</a> <a href=\"/s$s/\">Section</a>"
        if [ $(( p % 8 )) -eq 0 ]; then broken=$((broken + 1)); echo "<a href=\"missing$p.html\">Gone</a>"; fi
        echo "</body></html>"
      } > "$dir/p$p.html"
    done
  done
done
files=$(find "$site" -type f | wc -l)

port=$(( 20000 + RANDOM % 20000 ))
mkdir -p "$work/nginx/logs"
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log warn;
events { worker_connections 1024; }
http {
  types { text/html html; text/css css; image/gif gif; }
  access_log off;
  server {
    listen 127.0.0.1:$port;
    # linkchecker allows more than 10 requests a second only to servers that send this header.
    add_header LinkChecker 1 always;
    root $site;
    index index.html;
  }
}
CONF
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" -g "daemon off;" &
nginx_pid=$!
for _ in $(seq 1 50); do (echo > /dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
url="http://127.0.0.1:$port/"

cat > "$work/linkcheckerrc" <<CONF
[checking]
threads=10
maxrequestspersecond=1000
[output]
status=0
CONF

# Runs one tool `runs` times; prints the median wall time (s) and the median peak memory (KB).
measure() {
  local name=$1; shift
  local times=() mems=()
  for _ in $(seq 1 "$runs"); do
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >"$work/$name.out" 2>&1 || true
    read -r t m < <(tail -n 1 "$work/time.txt")
    times+=("$t"); mems+=("$m")
  done
  local mt mm
  mt=$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
  mm=$(printf '%s\n' "${mems[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$name $mt $mm"
}

echo "Site: $files files, $broken broken links, served by nginx at $url; $runs runs each (medians)"
results=()
results+=("$(measure tessaly-crawl "$crawl" --quiet --no-external "$url")")
results+=("$(measure wget wget --spider -r -l inf -nd -nv -e robots=off -P "$work/wget" "$url")")
results+=("$(measure linkchecker linkchecker -f "$work/linkcheckerrc" --no-warnings "$url")")
results+=("$(measure linkinator "$linkinator" "$url" --recurse --silent)")

read -r _ base_t base_m <<< "${results[0]}"
printf '%-14s %10s %12s %10s %10s\n' tool "wall (s)" "peak (MB)" "time/ours" "mem/ours"
for r in "${results[@]}"; do
  read -r name t m <<< "$r"
  printf '%-14s %10s %12.1f %10.2f %10.2f\n' "$name" "$t" "$(echo "$m / 1024" | bc -l)" \
    "$(echo "$t / $base_t" | bc -l)" "$(echo "$m / $base_m" | bc -l)"
done
# What each found, to check they crawled the same site.
echo "tessaly-crawl addresses: $("$crawl" --no-external "$url" 2>/dev/null | awk '/^  All/ {print $2}')"
