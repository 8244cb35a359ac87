#!/usr/bin/env bash
# Which Windows tree the tests run under Wine: i686 (what ships) where this machine runs 32-bit
# programs, x86_64 under the 64-bit Wine where it cannot. Prints the route on standard output and
# one line saying why on standard error.
#   scripts/windows-route.sh [--install] [SCRATCH_DIR]
# --install: installs the route's packages too (scripts/deps.sh wine ROUTE); where the 32-bit Wine
# cannot be installed (a mirror without a consistent i386 index, say), the route is x86_64.
# VADURER_WINDOWS_ARCH=x86_64 (or i686) forces a route, so either can be tried on any machine.
# The probe does not guess from the kernel's name: it runs a 32-bit program. The smallest one
# there is, written here byte by byte (an ELF header, one program header and three instructions
# that exit with 42), needs nothing installed, not even a 32-bit C library.
set -u
install=no
[ "${1:-}" = --install ] && { install=yes; shift; }
scratch=${1:-build}

# route ROUTE: prints ROUTE, its packages installed first where asked. A 32-bit Wine that could not
# be installed is not tried again for six hours (SCRATCH_DIR/wine32-failed), so that each run does
# not wait on the same mirror.
failed=$scratch/wine32-failed
route() {
  if [ "$install" = yes ]; then
    local fallback=no why=""
    [ "$1" = i686 ] && [ -z "${VADURER_WINDOWS_ARCH:-}" ] && fallback=yes
    if [ "$fallback" = yes ] && [ -n "$(find "$failed" -mmin -360 2>/dev/null)" ]; then
      why="at $(date -r "$failed" +%H:%M) (tried again after six hours, or once $failed is deleted)"
    elif ! "$(dirname "$0")/deps.sh" wine "$1" >&2; then
      [ "$fallback" = yes ] || { echo "Windows route: the packages for $1 could not be installed" >&2; exit 1; }
      touch "$failed"
      why="just now"
    elif [ "$1" = i686 ]; then
      rm -f "$failed"
    fi
    if [ -n "$why" ]; then
      echo "Windows route: x86_64 under 64-bit Wine after all, the 32-bit Wine could not be installed $why" >&2
      route x86_64
      return
    fi
  fi
  echo "$1"
}

case "${VADURER_WINDOWS_ARCH:-}" in
  i686 | x86_64)
    echo "Windows route: $VADURER_WINDOWS_ARCH, forced by VADURER_WINDOWS_ARCH" >&2
    route "$VADURER_WINDOWS_ARCH"
    exit 0 ;;
  "") ;;
  *) echo "VADURER_WINDOWS_ARCH must be i686 or x86_64, not '$VADURER_WINDOWS_ARCH'" >&2; exit 2 ;;
esac

mkdir -p "$scratch"
probe="$scratch/probe32.$$"
{
  # ELF header: 32-bit, little-endian, executable for i386, entry at 0x08048054.
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'
  # One loadable segment: the whole 96-byte file at 0x08048000, readable and executable.
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
  printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000'
  # mov eax, 1 (exit); mov ebx, 42; int 0x80
  printf '\270\001\000\000\000\273\052\000\000\000\315\200'
} >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
rc=$?
rm -f "$probe"
if [ "$rc" -eq 42 ]; then
  echo "Windows route: i686, this machine runs 32-bit programs" >&2
  route i686
else
  echo "Windows route: x86_64 under 64-bit Wine, this machine cannot run 32-bit programs (probe exit $rc)" >&2
  route x86_64
fi
