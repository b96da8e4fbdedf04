#!/usr/bin/env bash
# The desktop program built with AddressSanitizer crawls a small site served on loopback,
# offscreen, twice: pages, images, missing pages, and external addresses that fail at once
# (nothing listens on their port, or their names never resolve). Fails on any sanitizer report, a crash or a crawl that does
# not end.
#
# Usage: asan-desktop-crawl.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d /tmp/tessaly-asan-desktop-XXXXXX)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

site=$work/site
mkdir -p "$site/docs"
{
  echo "<html><head><title>Home</title></head><body>"
  for p in $(seq 1 12); do echo "<a href=\"docs/p$p.html\">Page $p</a>"; done
  echo "<a href=\"missing.html\">Gone</a> <a href=\"mailto:someone@example.org\">Mail</a>"
  echo "</body></html>"
} >"$site/index.html"
for p in $(seq 1 12); do
  {
    echo "<html><head><title>Page $p</title></head><body><a href=\"../index.html\">Home</a>"
    echo "<img src=\"../img$((p % 3)).gif\"> <a href=\"p$((p % 12 + 1)).html\">Next</a>"
    for e in 1 2 3; do
      echo "<a href=\"http://localhost:1/ext$p-$e.html\">External</a> <a href=\"http://[::1]:1/v6-$p-$e\">External</a>"
      # Names that never resolve: the lookup fails, once per name, the rest answered from memory.
      echo "<a href=\"http://nosuch$((p % 4)).invalid/n$p-$e.html\">External</a>"
    done
    echo "</body></html>"
  } >"$site/docs/p$p.html"
done
for i in 0 1 2; do printf 'GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;' >"$site/img$i.gif"; done

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do (echo >/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break; sleep 0.1; done

export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
# The web engine's own (unsanitized) code releases some objects with a sized delete of another
# size, and keeps what it allocates until exit: neither is this program's.
export ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for round in 1 2; do
  if ! timeout 150 "$program" --benchmark "http://127.0.0.1:$port/index.html" >"$work/out" 2>"$work/err"; then
    echo "round $round: the desktop crawl failed" >&2
    cat "$work/err" >&2
    exit 1
  fi
  if grep -q "Sanitizer" "$work/err"; then
    cat "$work/err" >&2
    exit 1
  fi
  # 18 addresses of the site, and 108 external ones when external checks are on (connected).
  grep -Eq "^desktop crawl: .* (18|126) addresses" "$work/out" || { echo "round $round: unexpected crawl" >&2; cat "$work/out" >&2; exit 1; }
  echo "round $round: $(head -1 "$work/out")"
done
