# Shortens Ninja's output for people waiting on a build: its "[done/total] ..." lines become one line
# every tenth of the way; warnings, errors and anything else pass through.
/^\[[0-9]+\/[0-9]+\] / {
  split(substr($1, 2, length($1) - 2), n, "/")
  percent = int(100 * n[1] / n[2])
  if (percent >= shown + 10 || n[1] == n[2]) {
    printf "      %3d%% (%d of %d steps)\n", percent, n[1], n[2]
    shown = percent
    fflush()
  }
  next
}
/^ninja: no work to do/ { print "      already up to date"; next }
{ print; fflush() }
