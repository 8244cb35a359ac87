#!/bin/sh
# Runs the installed production from the folder that holds its pictures and sounds, since the
# program reads them from the folder it runs in. The two folders, relative to the installation
# prefix (the launcher's own folder's parent); the games layout installs a copy with its own.
program_dir=lib/vadurer
data_dir=lib/vadurer

prefix=$(dirname "$(dirname "$(readlink -f "$0")")")
# The video file of --record is named from the caller's folder, not from the one the program
# runs in.
record=no
for arg in "$@"; do
  shift
  if [ "$record" = yes ] && [ -n "$arg" ]; then
    case "$arg" in /*) ;; *) arg="$PWD/$arg" ;; esac
  fi
  record=no
  [ "$arg" = --record ] && record=yes
  set -- "$@" "$arg"
done
# Screenshots without a pictures folder go to the caller's folder too.
VADURER_STARTED_IN=$PWD
export VADURER_STARTED_IN
cd "$prefix/$data_dir" || { echo "vadurer: its files are not where they were installed ($prefix/$data_dir)" >&2; exit 1; }
exec "$prefix/$program_dir/vadurer" "$@"
