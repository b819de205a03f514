#!/usr/bin/env bash
# Passes only when a check fails and says why: each check is shown to reject a module that is
# wrong in one known way, so a check that has gone blind (passes everything, or fails only for
# some other reason) is caught. Every PATTERN (an extended regular expression) must match a line
# of the check's output.
#
# Usage: expect_failure.sh PATTERN... -- CHECK ARGUMENT...
set -euo pipefail

patterns=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
  patterns+=("$1")
  shift
done
if [ "$#" -lt 2 ] || [ "${#patterns[@]}" -eq 0 ]; then
  echo "usage: expect_failure.sh PATTERN... -- CHECK ARGUMENT..." >&2
  exit 2
fi
shift

status=0
output=$("$@" 2>&1) || status=$?
printf '%s\n' "$output"

if [ "$status" -eq 0 ]; then
  echo "expected the check to fail, but it passed" >&2
  exit 1
fi
for pattern in "${patterns[@]}"; do
  if ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "the check failed (status $status), but its output does not match: $pattern" >&2
    exit 1
  fi
done
echo "the check failed as expected (status $status)"
