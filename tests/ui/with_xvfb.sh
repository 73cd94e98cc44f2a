#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb) with a small real window manager
# (openbox), so that frames, activation and focus behave as on a desktop.
#   with_xvfb.sh COMMAND [ARGS...]
set -euo pipefail

tmp=$(mktemp -d)
cleanup() {
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "${x_pid:-}" ] && kill "$x_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# -displayfd lets the server pick a free display and tell us its number.
exec 3>"$tmp/display"
# -noreset: the server must not reset when its last client (a probe) disconnects
# just as the window manager connects.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$tmp/xvfb.log" 2>&1 &
x_pid=$!
for _ in $(seq 100); do
  [ -s "$tmp/display" ] && break
  sleep 0.05
done
display=":$(head -n1 "$tmp/display")"
export DISPLAY="$display"
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.05
done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start:" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }

if [ "${TARVELIN_NO_WM:-}" != 1 ]; then
  openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
  wm_pid=$!
  # openbox owns the WM_S0 selection once it manages the screen.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
    sleep 0.05
  done
fi

"$@"
