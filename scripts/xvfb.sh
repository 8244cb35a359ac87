# Sourced by the scripts that need a display: on_xvfb WxH COMMAND [ARGS...] runs COMMAND on a
# virtual X server of its own, WxH at 24 bits, and returns COMMAND's exit code.
on_xvfb() {
  local size=$1; shift
  xvfb-run -a -s "-screen 0 ${size}x24" "$@"
}
