#!/usr/bin/env bash
# Runs a test program against a private Xvfb server on a display number Xvfb picks itself, so
# parallel test runs never share a server. The server must not reset when its last client
# leaves: a test that connects during a reset would fail. Exits 77 (skipped) without Xvfb.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "Xvfb is not installed; skipping the X11 tests"
    exit 77
fi
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 1 200); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:"
    cat "$work/xvfb.log"
    kill "$server" 2>/dev/null
    rm -rf "$work"
    exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"
"$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$work"
exit $status
