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
# A run that stopped inside the Windows 3.1 test may have left tavo.exe set
# to Windows 3.1; every run starts from the ordinary version.
wine reg delete 'HKCU\Software\Wine\AppDefaults\tavo.exe' /f >/dev/null 2>&1 || true
wineserver -w
echo "Wine prefix ready: $WINEPREFIX"
