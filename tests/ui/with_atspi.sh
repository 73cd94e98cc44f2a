#!/usr/bin/env bash
# Runs a command with the accessibility bus (AT-SPI) up on the current session
# bus, so that Qt's accessibility bridge is active as under a screen reader.
set -euo pipefail
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
trap 'kill $launcher 2>/dev/null || true' EXIT
# The launcher owns org.a11y.Bus once the accessibility bus is up.
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q true && break
  sleep 0.05
done
"$@"
