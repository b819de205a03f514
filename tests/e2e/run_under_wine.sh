#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of the build's own: quiet, without the Mono and
# Gecko installers, and on Wine's own virtual desktop (with no window manager, every message box
# would otherwise wait about two seconds to be activated).
#
# Usage: run_under_wine.sh [--wine LOADER] PREFIX PROGRAM.exe [ARGUMENTS...]
#
# LOADER is the Wine that runs the program: `wine` (the default) for the i686 build, 64-bit Wine
# (/usr/lib/wine/wine64 or `wine64`) for the x86_64 build. Each build keeps a prefix of its own,
# prepared and waited for by the same Wine that runs its programs.
set -euo pipefail

loader=wine
if [ "${1:-}" = "--wine" ]; then
  [ $# -ge 2 ] || {
    echo "run_under_wine.sh: --wine needs a loader" >&2
    exit 64
  }
  loader=$2
  shift 2
fi
[ $# -ge 2 ] || {
  echo "usage: run_under_wine.sh [--wine LOADER] PREFIX PROGRAM.exe [ARGUMENTS...]" >&2
  exit 64
}

loader_path=$(command -v "$loader") || {
  echo "run_under_wine.sh: no Wine loader $loader (scripts/setup installs Wine)" >&2
  exit 127
}

# The server of the same Wine (unless WINESERVER names one): beside the loader and with the same
# suffix (wine64 goes with wineserver64, as in Debian's /usr/lib/wine), else beside it, else the
# one on PATH. A 64-bit program needs a 64-bit server; the prefix is waited for through the server
# that serves it.
loader_dir=$(dirname "$loader_path")
loader_suffix=$(basename "$loader_path")
loader_suffix=${loader_suffix#wine}
if [ -n "${WINESERVER:-}" ]; then
  server=$WINESERVER
elif [ -x "$loader_dir/wineserver$loader_suffix" ]; then
  server="$loader_dir/wineserver$loader_suffix"
elif [ -x "$loader_dir/wineserver" ]; then
  server="$loader_dir/wineserver"
else
  server=wineserver
fi

prefix=$(realpath -m "$1")  # Wine wants an absolute prefix
shift

export WINEPREFIX="$prefix"
export WINESERVER="$server"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Prepared once per prefix; the lock keeps tests started in parallel from preparing it twice.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.scorix-prepared" ]; then
    "$loader_path" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$loader_path" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f \
      >/dev/null 2>&1
    "$server" -w
    touch "$prefix/.scorix-prepared"
  fi
) 9>"$prefix.lock"

# Message boxes need a display; scripts/test provides one with xvfb-run.
[ -n "${DISPLAY:-}" ] || echo "run_under_wine.sh: no X display (DISPLAY is not set)" >&2

exec "$loader_path" "$@"
