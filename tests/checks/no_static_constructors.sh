#!/usr/bin/env bash
# Fails when an object file of the given build folders holds a static constructor
# (a _GLOBAL__sub_I_ function): the plug-in's state must be constant-initialised, because the
# host calls the exports of a freshly loaded module with no start-up code of ours behind them.
#
# Usage: no_static_constructors.sh NM BUILD_FOLDER...
set -euo pipefail

nm_tool=$1
shift

# (The sanitizers' own per-object constructors are named _sub_I_00099_N and do not match.)
objects=()
while IFS= read -r -d '' object; do
  objects+=("$object")
done < <(find "$@" -type f \( -name '*.o' -o -name '*.obj' \) -print0)

if [ "${#objects[@]}" -eq 0 ]; then
  echo "no object files under: $*" >&2
  exit 1
fi

status=0
for object in "${objects[@]}"; do
  found=$("$nm_tool" "$object" | grep -o '_GLOBAL__sub_I_[A-Za-z0-9_.$]*' || true)
  if [ -n "$found" ]; then
    echo "static constructor in $object: $found" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "no static constructor in ${#objects[@]} object files"
exit "$status"
