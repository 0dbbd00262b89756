#!/usr/bin/env bash
# Builds the Debian package with CPack and checks its file list and control fields (Depends must be
# what dpkg-shlibdeps found: versioned Qt 6, C and C++ runtime packages, not a hand-written list),
# and that lintian --pedantic finds no error and no warning in it.
source "$(dirname "$0")/lib.sh"
out="$scratch"

"${CPACK:-cpack}" --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log"
  fail "cpack -G DEB failed"
}
deb="$out/zeze-gpi-programmer_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$out")"

files=$(dpkg-deb -c "$deb")
for f in ./usr/bin/zeze-gpi-programmer ./usr/bin/zeze-sim ./usr/share/applications/$id.desktop \
  ./usr/share/icons/hicolor/scalable/apps/$id.svg ./usr/share/metainfo/$id.metainfo.xml; do
  grep -q " $f\$" <<<"$files" || fail "$f is not in the package"
done
! grep -v ' root/root ' <<<"$files" || fail "files not owned by root"
! awk '{print $6}' <<<"$files" | grep -vE '^\./usr/((bin|share)/.*)?$' || fail "files outside usr/bin and usr/share"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zeze-gpi-programmer ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = electronics ] || fail "Section: $(field Section)"
name_address='^[^<]+ <[^@>]+@[^>]+>$'
[[ "$(field Maintainer)" =~ $name_address ]] || fail "Maintainer: $(field Maintainer)"
[ -n "$(field Description)" ] || fail "no Description"

depends=$(field Depends)
for p in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6svg6; do
  [[ ", $depends" == *", $p (>= "[0-9]* ]] || fail "Depends lacks a versioned $p: $depends"
done

# Stripped programs: a RelWithDebInfo build's debug information stays out.
dpkg-deb -x "$deb" "$out/tree"
file "$out/tree/usr/bin/zeze-gpi-programmer" | grep -q ', stripped' || fail "zeze-gpi-programmer is not stripped"

# Its informational tags are printed; README.md says why those that remain do.
command -v lintian >/dev/null || fail "lintian is not installed (bash scripts/install-deps.sh)"
tags=$(lintian --pedantic -I --tag-display-limit 0 "$deb" 2>&1) || true
! grep -E '^[EW]: ' <<<"$tags" || fail "lintian reports errors or warnings"
grep -E '^[A-Z]: ' <<<"$tags" || true
echo "deb package: ok ($depends)"
