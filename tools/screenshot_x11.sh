#!/usr/bin/env bash
# Takes docs/window-x11.png: the real window on an X server with a window
# manager (Xvfb and openbox), framed, after typing a small equation.
# Needs the build (build/ui/tarvelin) and ImageMagick (Debian package imagemagick).
#   tools/screenshot_x11.sh [OUTPUT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/window-x11.png}
if [ -z "${TARVELIN_SCREENSHOT_INSIDE:-}" ]; then
  export TARVELIN_SCREENSHOT_INSIDE=1 QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
  exec "$root/tests/ui/with_xvfb.sh" "$0" "$out"
fi

"$root/build/ui/tarvelin" &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT
window=$(xdotool search --sync --onlyvisible --name '^Tarvelin$' | head -n1)
sleep 0.5
# a = 1, b = -3, c = 2: "2.00 et 1.00"
xdotool type --delay 30 1
xdotool key Tab
xdotool type --delay 30 -- -3
xdotool key Tab
xdotool type --delay 30 2
sleep 0.5
# The frame: the client window's place (xwininfo's absolute corner; xdotool's
# counts the frame twice under openbox) less the window manager's frame extents.
info=$(xwininfo -id "$window")
X=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
Y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
WIDTH=$(awk '/Width:/ {print $2}' <<<"$info")
HEIGHT=$(awk '/Height:/ {print $2}' <<<"$info")
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | tr -d ',' | awk '{print $3, $4, $5, $6}')
import -window root -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" +repage "$out"
echo "wrote $out"
