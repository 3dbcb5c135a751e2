# The packaging tests' one check: runs a command, prints "ok - WHAT" or "not ok - WHAT" and counts.
# Sourced; the caller prints "$passed passed, $failed failed" at its end.
passed=0 failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok - $what"
    passed=$((passed + 1))
  else
    echo "not ok - $what"
    failed=$((failed + 1))
  fi
}
