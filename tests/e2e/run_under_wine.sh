#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of the build's own: quiet, without the Mono and
# Gecko installers, and on Wine's own virtual desktop (with no window manager, every message box
# would otherwise wait about two seconds to be activated).
#
# Usage: run_under_wine.sh PREFIX PROGRAM.exe [ARGUMENTS...]
set -euo pipefail

prefix=$(realpath -m "$1")  # Wine wants an absolute prefix
shift

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Prepared once per prefix; the lock keeps tests started in parallel from preparing it twice.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.scorix-prepared" ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.scorix-prepared"
  fi
) 9>"$prefix.lock"

# Message boxes need a display; scripts/test provides one with xvfb-run.
[ -n "${DISPLAY:-}" ] || echo "run_under_wine.sh: no X display (DISPLAY is not set)" >&2

exec wine "$@"
