#!/bin/sh
# Prepares the private Wine prefix the Windows tests run in (named by
# WINEPREFIX, 32-bit, no Mono or Gecko installers), once per build tree.
# wineboot takes up to a minute on a fresh prefix; later runs find it ready.
set -e
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i
fi
wineserver -w
echo "Wine prefix ready: $WINEPREFIX"
