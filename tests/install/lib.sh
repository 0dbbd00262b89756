# Sourced by the install tests: fail(), a scratch directory $scratch removed on exit, help_options,
# and install_into DIR, which installs the build as a package would (prefix /usr) under DIR.
# The tests take: <build dir> <desktop id> <version>
set -euo pipefail
build="$1" id="$2" version="$3"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# The options named in a help text, one per line: -x and --long-name, as listed or in usage lines.
help_options() {
  grep -oE -- '(^|[][ ,])--?[a-zA-Z][-a-zA-Z]*' <<<"$1" | tr -d '[], ' | sort -u
}
install_into() {
  DESTDIR="$1" "${CMAKE:-cmake}" --install "$build" --prefix /usr >/dev/null
}
