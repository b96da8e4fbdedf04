#!/usr/bin/env bash
# Builds the Debian package of the build folder $1 (sources in $2), unpacks it into a temporary
# root and checks it: the unpacked tessaly-crawl crawls the demo site with its dictionary, the
# unpacked tessaly starts offscreen, crawls it and quits; lintian finds no error; the desktop
# entry and the AppStream metainfo validate.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack did not build the package"; }
deb=$(ls "$work"/out/tessaly_*.deb)
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tessaly usr/bin/tessaly-crawl usr/share/tessaly/english.txt usr/share/tessaly/Services.htm \
  usr/share/tessaly/Setup.bmp usr/share/tessaly/lang.de.txt usr/share/tessaly/images/treeview_fold.gif \
  usr/share/applications/com.quorlix.Tessaly.desktop usr/share/mime/packages/tessaly.xml \
  usr/share/icons/hicolor/scalable/apps/tessaly.svg usr/share/icons/hicolor/16x16/apps/tessaly.png \
  usr/share/icons/hicolor/256x256/apps/tessaly.png usr/share/man/man1/tessaly.1.gz \
  usr/share/man/man1/tessaly-crawl.1.gz usr/share/metainfo/com.quorlix.Tessaly.metainfo.xml \
  usr/share/doc/tessaly/copyright usr/share/doc/tessaly/changelog.gz; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done
dpkg-deb -f "$deb" Depends | grep -q libcurl || fail "the dependencies were not computed from the binaries"

# Every option of tessaly-crawl is in its manual page.
manual=$(zcat "$root/usr/share/man/man1/tessaly-crawl.1.gz")
for option in $("$root/usr/bin/tessaly-crawl" --help | grep -o -- '^ *--[a-z-]*' | tr -d ' '); do
  grep -q -- "fB${option//-/\\\\-}" <<<"$manual" || fail "the manual page lacks $option"
done
man -l "$root/usr/share/man/man1/tessaly-crawl.1.gz" >/dev/null 2>"$work/man.err" || true
[ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "the manual page has roff errors"; }

# The unpacked programs find their files in /usr/share/tessaly and write only to the user's
# folders (a fresh home here).
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"
cp -r "$source/resources/demo-site" "$work/site"
status=0
"$root/usr/bin/tessaly-crawl" --no-external "$work/site/index.html" >"$work/crawl.txt" 2>&1 || status=$?
cat "$work/crawl.txt"
[ "$status" -eq 1 ] || fail "the unpacked tessaly-crawl ended with $status, not 1 (the demo's broken link)"
grep -q "Spelling Errors" "$work/crawl.txt" || fail "no report from the unpacked tessaly-crawl"

export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
timeout 120 "$root/usr/bin/tessaly" -NoSplash --benchmark "$work/site/index.html" >"$work/gui.txt" 2>"$work/gui.err" ||
  { cat "$work/gui.txt" "$work/gui.err"; fail "the unpacked tessaly did not start, crawl and quit"; }
cat "$work/gui.txt"
crawled=$(grep -o '[0-9]* addresses' "$work/gui.txt" | cut -d' ' -f1)
[ "${crawled:-0}" -gt 5 ] || fail "the unpacked tessaly crawled ${crawled:-no} addresses"
[ -z "$(find "$root" -newer "$deb" -type f)" ] || fail "the programs wrote into the installed files: $(find "$root" -newer "$deb" -type f)"

lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
! grep -q '^E:' "$work/lintian.txt" || fail "lintian reports errors"
desktop-file-validate "$root/usr/share/applications/com.quorlix.Tessaly.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/com.quorlix.Tessaly.metainfo.xml" ||
  fail "appstreamcli validate"
