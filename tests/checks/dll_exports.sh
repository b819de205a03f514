#!/usr/bin/env bash
# Fails unless the DLL's export table holds exactly the six entry points, under their plain
# names (no leading underscore, no @N suffix) and nothing else.
#
# Usage: dll_exports.sh OBJDUMP PLUGIN.dll
set -euo pipefail

objdump_tool=$1
dll=$2

expected=$(printf '%s\n' ScorixExtensionEnumerate ScorixExtensionGetMenuStatus \
  ScorixExtensionInit ScorixExtensionInvoke ScorixExtensionTerminate ScorixExtensionVersion)

# The name table lists one "[ n] Name" line per export, up to the next blank line.
actual=$("$objdump_tool" -p "$dll" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)

if [ "$actual" != "$expected" ]; then
  echo "exports of $dll:" >&2
  echo "$actual" >&2
  echo "expected:" >&2
  echo "$expected" >&2
  exit 1
fi
echo "$dll exports exactly the six entry points"
