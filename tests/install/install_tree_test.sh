#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR as a package would (prefix /usr) and checks the desktop
# integration that lands there: the programs, a menu entry that validates and points at them, its
# icons (scalable, and PNGs drawn for 16, 32 and 48 px), and AppStream metadata that validates,
# carries this version and names every program.
source "$(dirname "$0")/lib.sh"
root="$scratch"
install_into "$root"

desktop="$root/usr/share/applications/$id.desktop"
icons="$root/usr/share/icons/hicolor"
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
for f in "$root/usr/bin/zeze-gpi-programmer" "$root/usr/bin/zeze-sim"; do
  [ -x "$f" ] || fail "no program ${f#"$root"}"
done
for f in "$desktop" "$icons/scalable/apps/$id.svg" "$metainfo"; do
  [ -f "$f" ] || fail "not installed: ${f#"$root"}"
done

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
# Clean but for the hint that the ID has capitals, which it keeps: it names the installed files.
report=$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1) || true
others=$(grep -E '^[EWIP]: ' <<<"$report" | grep -v ': cid-contains-uppercase-letter ' || true)
[ -z "$others" ] || fail "appstreamcli validate --pedantic: $report"
grep -q '^✔ Validation was successful' <<<"$report" || fail "appstreamcli validate: $report"

# The menu entry starts the installed program and shows the installed icons.
# It takes one programming file (%f): JSON, or the record, whose type the package defines.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = "zeze-gpi-programmer %f" ] || fail "Exec=$exec_line"
mime_line=$(sed -n 's/^MimeType=//p' "$desktop")
[ "$mime_line" = "application/json;application/x-zeze-record;" ] || fail "MimeType=$mime_line"
mime="$root/usr/share/mime/packages/$id.xml"
[ -f "$mime" ] || fail "not installed: ${mime#"$root"}"
grep -q '<mime-type type="application/x-zeze-record">' "$mime" || fail "$id.xml defines no application/x-zeze-record"
if command -v xmllint >/dev/null; then
  xmllint --noout "$mime" || fail "$id.xml is not well-formed XML"
fi
icon_line=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$icons/scalable/apps/$icon_line.svg" ] || fail "Icon=$icon_line is not installed"
grep -q '<svg' "$icons/scalable/apps/$id.svg" || fail "the icon is not an SVG image"
for size in 16 32 48; do
  png="$icons/${size}x$size/apps/$icon_line.png"
  [ -f "$png" ] || fail "no ${size} px icon ${png#"$root"}"
  file "$png" | grep -q "PNG image data, $size x $size," || fail "${png#"$root"}: $(file -b "$png")"
done

grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo launches no $id.desktop"
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"/>" "$metainfo" ||
  fail "metainfo has no release entry for $version"
grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "metainfo names no MIT licence"
for program in "$root"/usr/bin/*; do
  grep -q "<binary>$(basename "$program")</binary>" "$metainfo" ||
    fail "metainfo does not provide $(basename "$program")"
done

# Only programs and shared data: no headers, static libraries or test programs.
stray=$(cd "$root" && find . -type f ! -path './usr/bin/*' ! -path './usr/share/*')
[ -z "$stray" ] || fail "installed outside usr/bin and usr/share: $stray"
echo "install tree: ok"
