#!/usr/bin/env bash
# The i386 probe's two answers: forced, it answers "none" (exit 1) on any machine; left alone, its
# exit code agrees with its word, and "native" means an -m32 program really runs here while
# "none" means one does not.
#
# Usage: i386_probe.sh PROBE
set -euo pipefail

probe=$1

forced=$(SCORIX_FORCE_NO_I386=1 "$probe") && {
  echo "forced probe exited 0 (answered $forced)" >&2
  exit 1
}
if [ "$forced" != none ]; then
  echo "forced probe answered '$forced', not 'none'" >&2
  exit 1
fi

status=0
answer=$(env -u SCORIX_FORCE_NO_I386 "$probe") || status=$?
case "$answer:$status" in
  native:0 | none:1) ;;
  *)
    echo "probe answered '$answer' with exit $status" >&2
    exit 1
    ;;
esac

# The answer must be the truth about this machine.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n' >"$work/probe.c"
runs=none
if gcc -m32 -o "$work/probe" "$work/probe.c" 2>/dev/null && "$work/probe" 2>/dev/null; then
  runs=native
fi
if [ "$answer" != "$runs" ]; then
  echo "probe answered '$answer' but an -m32 program here says '$runs'" >&2
  exit 1
fi
echo "forced: none; this machine: $answer"
