#!/usr/bin/env bash
# Fails when the DLL still carries a symbol table or debug sections: the shipped module needs
# neither, they are most of its size, and they spell out our internals to anyone who has it.
# The number of symbols is read from the COFF file header itself, the sections from objdump.
# (Stripping may leave the header pointing at an empty table and its string table: no symbols.)
#
# Usage: dll_stripped.sh OBJDUMP PLUGIN.dll
set -euo pipefail

objdump_tool=$1
dll=$2

# The unsigned little-endian number of $2 bytes at offset $1 of the DLL, read byte by byte so
# that the host's byte order does not matter.
read_le() {
  local value=0 shift_by=0 byte
  for byte in $(od -An -v -tu1 -j "$1" -N "$2" "$dll"); do
    value=$((value + (byte << shift_by)))
    shift_by=$((shift_by + 8))
  done
  echo "$value"
}

pe_header=$(read_le 60 4)
if [ "$(od -An -c -j "$pe_header" -N 2 "$dll" | tr -d ' ')" != "PE" ]; then
  echo "$dll: no PE header at offset $pe_header" >&2
  exit 1
fi
# The COFF file header follows the 4-byte signature; NumberOfSymbols is at its offset 12.
symbol_count=$(read_le $((pe_header + 16)) 4)

status=0
if [ "$symbol_count" -ne 0 ]; then
  echo "$dll: has a symbol table ($symbol_count symbols)" >&2
  status=1
fi
debug_sections=$("$objdump_tool" -h "$dll" |
  awk '$1 ~ /^[0-9]+$/ && $2 ~ /^\.debug/ { printf " %s", $2 }')
if [ -n "$debug_sections" ]; then
  echo "$dll: has debug sections:$debug_sections" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "$dll: no symbol table, no debug sections ($(wc -c <"$dll") bytes)"
exit "$status"
