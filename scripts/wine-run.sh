#!/usr/bin/env bash
# Runs a Windows program under Wine, in a throwaway prefix under build/, on a virtual X display,
# inside the prefix's own virtual desktop (so that a 640 x 480 x 8 display mode can be set and
# wine still hands back the program's exit code), with a sound server for DirectSound.
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#   scripts/wine-run.sh --shell COMMAND [ARGS...]   runs COMMAND in that setting instead
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM.exe [ARGS...] | --shell COMMAND [ARGS...]" >&2; exit 2; }
launcher=wine
if [ "$1" = --shell ]; then launcher=; shift; fi
export launcher

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installers in a throwaway prefix
export WINEPREFIX="$root/build/wineprefix.$$"
export WINEARCH=win32
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
mkdir -p "$WINEPREFIX"

if ! pulseaudio --check >/dev/null 2>&1; then
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-null-sink \
    --load=module-native-protocol-unix >/dev/null 2>&1 || true
fi

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wineboot -i >/dev/null 2>&1
  wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 640x480 /f >/dev/null 2>&1
  wineserver -w
  $launcher "$@"
' wine-run "$@" 2> >(grep -v "^X connection to" >&2)
