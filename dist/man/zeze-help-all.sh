#!/bin/sh
# What help2man reads as zeze's --help: zeze's own help, then that of each command it lists under
# "Commands:" (once each; "help COMMAND" shows the same texts), so that the manual page holds every
# option. Usage: ZEZE=path/to/zeze $0 --help|--version
set -eu
if [ "${1:-}" = --version ]; then exec "$ZEZE" --version; fi
"$ZEZE" --help
for command in $("$ZEZE" --help | awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 }
                                       on && /^  [a-z]/ && $1 != "help" && !seen[$1]++ { print $1 }'); do
  echo
  "$ZEZE" "$command" --help
done
