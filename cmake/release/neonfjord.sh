#!/bin/sh
# neonfjord.sh -- starts the intro from its own folder, where it finds data/
case $0 in
  */*) cd "${0%/*}" || exit 1 ;;
esac
exec ./intro "$@"
