#!/usr/bin/env bash
# Fails when the DLL imports anything but Windows' own libraries: the host's machine has no
# GCC, C++ or threads runtime DLL to offer.
#
# Usage: dll_imports.sh OBJDUMP PLUGIN.dll
set -euo pipefail

objdump_tool=$1
dll=$2

system_library='^(kernel32|user32|gdi32|advapi32|ntdll|shell32|ole32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'

imports=$("$objdump_tool" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p')
if [ -z "$imports" ]; then
  echo "no import table found in $dll" >&2
  exit 1
fi

foreign=$(echo "$imports" | tr 'A-Z' 'a-z' | grep -Ev "$system_library" || true)
if [ -n "$foreign" ]; then
  echo "$dll imports libraries that are not part of Windows:" >&2
  echo "$foreign" >&2
  exit 1
fi
echo "$dll imports only:" $imports
