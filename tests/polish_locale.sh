# Sourced by the tests that check Polish texts: polish_locale DIR makes a
# private glibc pl_PL.UTF-8 locale under DIR and exports LOCPATH to it,
# when the system has none.
polish_locale() {
  # grep reads to the end (no -q): grep -q stops at its first match, and
  # locale's SIGPIPE then fails the pipe under pipefail, which took a
  # missing locale for present in 4 runs of 300.
  if LC_ALL=pl_PL.UTF-8 locale 2>&1 | grep Cannot >/dev/null; then
    export LOCPATH=$1
    mkdir -p "$LOCPATH" && localedef -i pl_PL -f UTF-8 "$LOCPATH/pl_PL.UTF-8" 2>/dev/null || true
  fi
}
