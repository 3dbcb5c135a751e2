#!/usr/bin/env bash
# quorvane-scan as a whole process under Wine: stopped by SIGINT (which Wine delivers as
# CTRL_C_EVENT), and its lines on a real console (tmux, read back with capture-pane).
#   console-test.sh SOURCE BUILD
# Prints one "ok"/"not ok" line per check and exits 1 when a check failed.
set -euo pipefail
root=$(cd "$1" && pwd) build=$(cd "$2" && pwd)
. "$root/tests/packaging/check.sh"
equals() { [ "$1" = "$2" ]; }
contains() { grep -qF -- "$2" <<<"$1"; }

work=$(mktemp -d)
session=qvscan-$$
trap 'tmux kill-session -t "$session" 2>/dev/null || true; rm -rf "$work"' EXIT
winpath() { echo "Z:${1//\//\\}"; }
# The demo database, built by the signature tool into the work folder.
sources=()
for source in "$root"/demo/*.hdb "$root"/demo/*.ndb; do sources+=("$(winpath "$source")"); done
"$build/wine-run" "$build/quorvane-sigtool.exe" build "$(winpath "$work/db.dat")" "${sources[@]}" >/dev/null
database=$(winpath "$work/db.dat")

# --- Ctrl+C: a scan of many files, interrupted once lines come out.
python3 - "$work/many" <<'PY'
import os, sys
for d in range(60):
    os.makedirs(f"{sys.argv[1]}/d{d}", exist_ok=True)
    for f in range(1000):
        with open(f"{sys.argv[1]}/d{d}/f{f}.exe", "wb") as out:
            out.write(b"x" * 64)
PY
# Started directly, so that $! is the Wine process itself, with SIGINT restored (a background job
# of a script inherits it ignored).
python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execvp(sys.argv[1], sys.argv[1:])' \
  "$build/wine-run" "$build/quorvane-scan.exe" --database "$database" "$(winpath "$work/many")" \
  >"$work/stop.out" 2>"$work/stop.err" &
pid=$!
for _ in $(seq 1 200); do
  [ "$(wc -l <"$work/stop.out")" -gt 100 ] && break
  sleep 0.1
done
kill -INT "$pid"
status=0
wait "$pid" || status=$?
check "Ctrl+C ends the scan with exit code 2" equals "$status" 2
check "the summary follows the last line after one blank line and Stopped." \
  equals "$(tail -n 7 "$work/stop.out" | head -n 3 | sed 's/^Objects scanned: [0-9]*$/N/')" "$(printf '\nStopped.\nN')"
check "the scan did not reach the end" test "$(grep -c ': OK$' "$work/stop.out")" -lt 60000
check "nothing on stderr when it is redirected" equals "$(cat "$work/stop.err")" ""

# --- A console: UTF-16 through WriteConsoleW; Wine's console wraps text in escape codes, so the
# screen is read back from tmux.
folder="$work/ünï 中文"
mkdir -p "$folder"
printf '%s' 'X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR' >"$folder/eicar.com"
printf '%s' '-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*' >>"$folder/eicar.com"
echo clean >"$folder/clean.exe"
target=$(winpath "$folder")
tmux -u new-session -d -s "$session" -x 200 -y 40 \
  "LC_ALL=C.UTF-8 '$build/wine-run' '$build/quorvane-scan.exe' --database '$database' '$target'; echo EXIT=\$?; sleep 60"
screen=
for _ in $(seq 1 300); do
  screen=$(tmux capture-pane -p -t "$session" 2>/dev/null || true)
  contains "$screen" "EXIT=" && break
  sleep 0.2
done
echo "$screen" | sed -e '/^$/d' -e 's/^/# /'
check "on a console the non-ASCII threat line reads right" contains "$screen" "$target\\eicar.com: Eicar-Test-Signature FOUND"
check "on a console the non-ASCII OK line reads right" contains "$screen" "$target\\clean.exe: OK"
check "on a console the summary shows" contains "$screen" "Objects scanned: 3"
check "on a console the exit code is 1" contains "$screen" "EXIT=1"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
