#!/usr/bin/env bash
# on_xvfb WxH COMMAND [ARGS...] runs COMMAND on a virtual X server of its own, WxH at 24 bits, and
# returns COMMAND's exit code. Sourced by the scripts that need a display; run as a program
# (scripts/xvfb.sh WxH COMMAND...) by the build's tests and targets, so that the one xvfb-run line
# is this one.
on_xvfb() {
  local size=$1; shift
  xvfb-run -a -s "-screen 0 ${size}x24" "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -eu
  on_xvfb "$@"
fi
