# Sourced by the shell tests: a scratch folder, $work, removed at the end;
# fail MESSAGE, which counts a failed check and goes on; and
# finish MESSAGE, which says MESSAGE and ends well when no check failed.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
finish() {
  [ $failures -eq 0 ] || exit 1
  echo "$*"
}
