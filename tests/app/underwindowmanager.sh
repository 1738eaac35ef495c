#!/bin/sh
# Runs a test program on a virtual screen with a window manager: underwindowmanager.sh PROGRAM [ARGS]
# The test waits for the window manager to announce itself before it opens a window.
# QUORALIS_XVFB_SCREEN sets the screen (1280x1024x24 unless given).
set -eu
exec xvfb-run -a -s "-screen 0 ${QUORALIS_XVFB_SCREEN:-1280x1024x24}" sh -c '
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  QT_QPA_PLATFORM=xcb "$@"
  status=$?
  kill "$wm" 2>/dev/null || true
  exit $status
' sh "$@"
