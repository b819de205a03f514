#!/usr/bin/env bash
# Fails unless every ret of each of the six exports removes exactly its arguments from the stack
# ("ret $0xN", N the bytes the host pushed): the host pushes the arguments and leaves them to the
# callee, so a plain ret or another count leaves the host's stack pointer wrong.
#
# The shipped DLL has no symbol table, so its export table says where each export starts but not
# where it ends. The build keeps an unstripped twin of the same link beside it; the twin's COFF
# symbols give each function's extent (up to the next symbol) and the pieces GCC moved out of
# line, named NAME.cold (landing pads, unlikely paths). The two .text sections must be the same,
# byte for byte at the same addresses, so the instructions read here are the shipped ones: they
# are disassembled from the shipped DLL, over the extents the twin gives. Every function, static
# ones included, has a COFF symbol and GCC puts none inside one, so an extent can only come out
# too long (code of the next function checked as well, a false failure), never too short.
#
# Each export must have at least one ret, and all of them must pop its bytes. A direct jump that
# leaves the export's pieces fails too: it is a tail call, and the ret ending that path belongs to
# another function, so this check cannot vouch for it. An indirect jump is accepted only through
# a table indexed by a register (jmp *TABLE(,%reg,4)), which is how GCC dispatches a switch
# within the function; any other indirect jump fails.
#
# Usage: dll_stdcall_rets.sh OBJDUMP NM SHIPPED.dll UNSTRIPPED_TWIN
# (an unstripped DLL is its own twin)
set -euo pipefail
# Addresses are compared as 8-digit hex strings: byte order, whatever the user's locale.
export LC_ALL=C

objdump_tool=$1
nm_tool=$2
dll=$3
twin=$4

exports=(ScorixExtensionVersion ScorixExtensionInit ScorixExtensionEnumerate
  ScorixExtensionInvoke ScorixExtensionTerminate ScorixExtensionGetMenuStatus)
declare -A argument_bytes=([ScorixExtensionVersion]=4 [ScorixExtensionInit]=8
  [ScorixExtensionEnumerate]=12 [ScorixExtensionInvoke]=16 [ScorixExtensionTerminate]=4
  [ScorixExtensionGetMenuStatus]=4)

# The .text contents with their addresses, without objdump's line naming the file.
text_section() {
  "$objdump_tool" -s -j .text "$1" | sed -n '/^Contents of section \.text:/,$p'
}
shipped_text=$(text_section "$dll")
twin_text=$(text_section "$twin")
if [ -z "$shipped_text" ]; then
  echo "$dll: no .text section to check" >&2
  exit 1
fi
if [ "$shipped_text" != "$twin_text" ]; then
  echo "$dll: its code is not the same as that of $twin (a stale twin or another link)" >&2
  exit 1
fi

headers=$("$objdump_tool" -p "$dll")
image_base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
if [ -z "$image_base" ]; then
  echo "$dll: no image base in its headers" >&2
  exit 1
fi

# Export name -> address. The address table has "[ i] +base[ o] RVA Export RVA" lines; the name
# table "[ i] Name" lines, i the same index into the address table.
declare -A export_rva=()
while read -r index rva; do
  export_rva[$index]=$rva
done < <(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$headers" |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*+base\[[[:space:]]*[0-9]*\][[:space:]]*\([0-9a-fA-F]*\)[[:space:]]*Export RVA$/\1 \2/p')
declare -A export_address=()
while read -r index name; do
  if [ -n "${export_rva[$index]:-}" ]; then
    export_address[$name]=$(printf '%08x' $((16#$image_base + 16#${export_rva[$index]})))
  fi
done < <(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([^[:space:]]*\)$/\1 \2/p')

# The twin's symbols as "address name", addresses as 8 lower-case hex digits, sorted; absolute
# symbols are no place in the code and are left out.
symbols=$("$nm_tool" --defined-only "$twin" |
  awk 'NF >= 3 && $2 != "A" && $2 != "a" {
    address = tolower($1)
    while (length(address) < 8) address = "0" address
    print address, $3
  }' | sort)
if [ -z "$symbols" ]; then
  echo "$twin: no symbol table, so no function's extent is known" >&2
  exit 1
fi

# Where the function piece starting at $1 ends: the next symbol above it.
piece_end() {
  awk -v start="$1" '($1 "") > (start "") { print $1; exit }' <<<"$symbols"
}

# Whether address $1 lies in one of the pieces of the export being checked.
inside_export() {
  local i
  for i in "${!piece_starts[@]}"; do
    if [[ ! "$1" < "${piece_starts[$i]}" && "$1" < "${piece_ends[$i]}" ]]; then
      return 0
    fi
  done
  return 1
}

status=0
export_failed=0
fail() {
  echo "$1" >&2
  status=1
  export_failed=1
}

for name in "${exports[@]}"; do
  bytes=${argument_bytes[$name]}
  export_failed=0
  start=${export_address[$name]:-}
  if [ -z "$start" ]; then
    fail "$name: not in the export table of $dll"
    continue
  fi
  # The symbols at the export's address (GCC gives name and name@N) and their cold pieces.
  names=$(awk -v start="$start" '($1 "") == (start "") { print $2 }' <<<"$symbols")
  if [ -z "$names" ]; then
    fail "$name: no symbol of $twin at its address $start"
    continue
  fi
  piece_starts=("$start")
  while read -r symbol; do
    while read -r cold; do
      piece_starts+=("$cold")
    done < <(awk -v prefix="$symbol.cold" '{
      rest = substr($2, length(prefix) + 1)
      if (substr($2, 1, length(prefix)) == prefix && rest ~ /^(\.[0-9]+)?$/) print $1
    }' <<<"$symbols")
  done <<<"$names"

  piece_ends=()
  for piece in "${piece_starts[@]}"; do
    end=$(piece_end "$piece")
    if [ -z "$end" ]; then
      fail "$name: no symbol after its piece at $piece, so its end is unknown"
      continue 2
    fi
    piece_ends+=("$end")
  done

  rets=0
  for i in "${!piece_starts[@]}"; do
    listing=$("$objdump_tool" -d --no-show-raw-insn --start-address="0x${piece_starts[$i]}" \
      --stop-address="0x${piece_ends[$i]}" "$dll")
    # Instruction lines are "address:<tab>mnemonic operands"; prefixes (repz, bnd, notrack)
    # are dropped so that "repz ret" is read as the ret it is.
    while IFS= read -r line; do
      [[ "$line" =~ ^[[:space:]]*([0-9a-f]+):$'\t'(.*)$ ]] || continue
      address=$(printf '%08x' "0x${BASH_REMATCH[1]}")
      read -r -a words <<<"${BASH_REMATCH[2]}"
      prefix='^(rep|repz|repe|repnz|repne|bnd|notrack|ds|cs)$'
      while [ "${#words[@]}" -gt 1 ] && [[ "${words[0]}" =~ $prefix ]]; do
        words=("${words[@]:1}")
      done
      mnemonic=${words[0]:-}
      operand=${words[1]:-}
      shown="$mnemonic${operand:+ $operand}"
      case "$mnemonic" in
        ret | retl | retw)
          rets=$((rets + 1))
          popped=0
          if [ -n "$operand" ]; then
            popped=$((${operand#\$}))
          fi
          if [ "$popped" -ne "$bytes" ]; then
            fail "$name: $shown at $address pops $popped bytes, not $bytes"
          fi
          ;;
        lret | lretl | lretw | iret | iretl | iretw)
          fail "$name: $shown at $address is no near return"
          ;;
        j* | loop*)
          if [[ "$operand" == \** ]]; then
            if ! [[ "$operand" =~ ^\*(0x[0-9a-f]+)?\(,%e[a-z]{2},4\)$ ]]; then
              fail "$name: $shown at $address jumps where this check cannot follow"
            fi
          else
            target=$(printf '%08x' "0x${operand#0x}")
            if ! inside_export "$target"; then
              fail "$name: $mnemonic at $address jumps out of its body to $target"
            fi
          fi
          ;;
      esac
    done <<<"$listing"
  done

  if [ "$rets" -eq 0 ]; then
    fail "$name: no ret in its code at ${piece_starts[*]}"
  elif [ "$export_failed" -eq 0 ]; then
    ranges=()
    for i in "${!piece_starts[@]}"; do
      ranges+=("${piece_starts[$i]}-${piece_ends[$i]}")
    done
    echo "$name: $rets ret(s) in ${ranges[*]}, each popping $bytes bytes"
  fi
done

if [ "$status" -eq 0 ]; then
  echo "$dll: every ret of the six exports pops their arguments"
fi
exit "$status"
