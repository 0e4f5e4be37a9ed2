#!/bin/sh
# Runs a program on the current X display (set by xvfb-run) with openbox managing its windows, so
# the window gets the frame, placement and activation a desktop gives it; openbox is stopped when
# the program ends, and the program's exit status is this script's.
# Usage: with-window-manager.sh program [arguments...]
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Up to 10 s for openbox to announce itself on the root window (or to fail).
tries=0
while [ "$tries" -lt 100 ]; do
    if command -v xprop >/dev/null 2>&1; then
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    elif [ "$tries" -ge 10 ]; then
        break
    fi
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.1
    tries=$((tries + 1))
done
"$@"
status=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit "$status"
