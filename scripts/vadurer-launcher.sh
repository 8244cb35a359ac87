#!/bin/sh
# Runs the installed production from the folder that holds it and its pictures and sounds.
here=$(dirname "$(readlink -f "$0")")
cd "$here/../lib/vadurer" || { echo "vadurer: its files are not where they were installed" >&2; exit 1; }
exec ./vadurer "$@"
