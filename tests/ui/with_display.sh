#!/bin/sh
# Runs a command with an X display for Wine's windows: the one given in
# DISPLAY, else a virtual one from xvfb-run.
# Usage: with_display.sh command [arguments]
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
