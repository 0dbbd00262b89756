#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR as a package would (prefix /usr) and checks what lands
# there: the programs, a menu entry that validates and points at them, its icon, and AppStream
# metadata that validates and carries this version.
# Usage: install_tree_test.sh <build dir> <desktop id> <version>
set -euo pipefail
build="$1" id="$2" version="$3"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" "${CMAKE:-cmake}" --install "$build" --prefix /usr >/dev/null

desktop="$root/usr/share/applications/$id.desktop"
icon="$root/usr/share/icons/hicolor/scalable/apps/$id.svg"
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
for f in "$root/usr/bin/zeze-gpi-programmer" "$root/usr/bin/zeze-sim"; do
  [ -x "$f" ] || fail "no program ${f#"$root"}"
done
for f in "$desktop" "$icon" "$metainfo"; do
  [ -f "$f" ] || fail "not installed: ${f#"$root"}"
done

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
appstreamcli validate --no-net "$metainfo" >/dev/null || {
  appstreamcli validate --no-net "$metainfo"
  fail "appstreamcli rejects $id.metainfo.xml"
}

# The menu entry starts the installed program and shows the installed icon.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = "zeze-gpi-programmer" ] || fail "Exec=$exec_line"
icon_line=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_line.svg" ] || fail "Icon=$icon_line is not installed"
grep -q '<svg' "$icon" || fail "the icon is not an SVG image"

grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo launches no $id.desktop"
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"/>" "$metainfo" ||
  fail "metainfo has no release entry for $version"
grep -q '<image>https://[^<]*/docs/main-window\.png</image>' "$metainfo" || fail "metainfo shows no screenshot"

# Only programs and shared data: no headers, static libraries or test programs.
stray=$(cd "$root" && find . -type f ! -path './usr/bin/*' ! -path './usr/share/*')
[ -z "$stray" ] || fail "installed outside usr/bin and usr/share: $stray"
echo "install tree: ok"
