#!/bin/sh
# neonfjord.sh -- starts the intro from the release's own folder, where it finds data/,
# also when it is started through a symbolic link from somewhere else
release=$(dirname "$(readlink -f "$0")") && cd "$release" || exit 1
exec ./intro "$@"
