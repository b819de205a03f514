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
  # comm wants both lists in the same (byte) order.
  comm -13 <(LC_ALL=C sort <<<"$expected") <(LC_ALL=C sort <<<"$actual") |
    sed '/^$/d; s/^/unexpected export: /' >&2
  comm -23 <(LC_ALL=C sort <<<"$expected") <(LC_ALL=C sort <<<"$actual") |
    sed '/^$/d; s/^/missing export: /' >&2
  echo "$dll must export exactly the six entry points" >&2
  exit 1
fi
echo "$dll exports exactly the six entry points"
