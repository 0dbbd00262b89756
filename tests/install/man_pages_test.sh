#!/usr/bin/env bash
# Every installed program has a manual page in section 1, gzipped at maximum compression, that
# man renders without a warning, whose name line lexgrog (and so apropos) reads, and which lists
# every option of the program's --help. --help and --version work without a display.
source "$(dirname "$0")/lib.sh"
install_into "$scratch"
bin="$scratch/usr/bin"
# The window's help is read with no display at all: QApplication would abort there.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

for program in "$bin"/*; do
  name=$(basename "$program")
  page="$scratch/usr/share/man/man1/$name.1.gz"
  [ -f "$page" ] || fail "$name has no manual page"
  gzip -t "$page" || fail "$name.1.gz is not gzip"

  help=$("${headless[@]}" "$program" --help) || fail "$name --help exits with $?"
  [ "$("${headless[@]}" "$program" --version)" = "$name $version" ] || fail "$name --version does not say $name $version"
  # zeze's commands each have their own help, which its page holds as well.
  if [ "$name" = zeze ]; then
    for command in $(awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 } on && /^  [a-z]/ { print $1 }' <<<"$help"); do
      help+=$'\n'$("$program" "$command" --help) || fail "zeze $command --help exits with $?"
    done
  fi

  whatis=$(lexgrog "$page") || fail "lexgrog finds no name line in $name.1.gz"
  [[ "$whatis" == *": \"$name - "?* ]] || fail "name line of $name.1.gz: $whatis"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $name.1.gz: $warnings"
  text=$(LC_ALL=C MANWIDTH=80 man -l "$page" 2>/dev/null | col -bx)
  grep -q "^SYNOPSIS" <<<"$text" || fail "$name.1.gz has no SYNOPSIS"
  for option in $(help_options "$help"); do
    grep -qe "$option\b" <<<"$text" || fail "$name.1.gz lacks $option of $name --help"
  done

  # Unless gzip -9 does no better.
  [ "$(gzip -dc "$page" | gzip -9n | wc -c)" -ge "$(wc -c <"$page")" ] || fail "$name.1.gz is not gzip -9"
done
[ -x "$bin/zeze" ] || fail "no program zeze"

# The help of the window and the simulator fits an 80-column terminal (zeze's command table does not
# yet).
for name in zeze-gpi-programmer zeze-sim; do
  wide=$("${headless[@]}" "$bin/$name" --help | awk 'length > 79')
  [ -z "$wide" ] || fail "$name --help has lines over 79 columns: $wide"
done
echo "manual pages: ok"
