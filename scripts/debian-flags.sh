#!/usr/bin/env bash
# The CMake settings, one a line, that give a native tree Debian's build flags (dpkg-buildflags,
# with all of its hardening). The release tree (scripts/dist.sh) is built with them, and so is the
# native tree the tests run (scripts/test.sh, scripts/check.sh): the program tested is the program
# shipped, and the compiler cache answers the release tree's every compile from the native tree's.
# Nothing where dpkg-buildflags is not installed. The flags name the folder they are made in (the
# clone, their file prefix map): run from anywhere, this makes them there.
#   scripts/debian-flags.sh
set -eu
cd "$(dirname "$0")/.."
command -v dpkg-buildflags >/dev/null || exit 0
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cppflags=$(flags CPPFLAGS)
# CMake reads no CPPFLAGS: the fortification goes in with the compilers' flags.
echo "-DCMAKE_C_FLAGS=$(flags CFLAGS) $cppflags"
echo "-DCMAKE_CXX_FLAGS=$(flags CXXFLAGS) $cppflags"
echo "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)"
