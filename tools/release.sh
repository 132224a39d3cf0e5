#!/usr/bin/env bash
# release.sh -- the party release: release/neonfjord-intro.tar.gz, the intro with the libraries it carries,
# built in a Debian 11 root (tools/release-build.sh) so that it starts on glibc 2.31 and newer with nothing
# to install, and the browser build beside it in web/, the folder to put on any static web host; and
# release/neonfjord-intro-sources.tar.gz, the exact sources of what it carries, as their licences ask
#   tools/release.sh [-DINTRO_PAGE_URL=https://...]   (the page's address, for absolute link previews)
# The root is made once, in .deps/roots/ (tools/debian-root.sh). A step that fails leaves release/ as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD name=neonfjord-intro
out=$repo/build-release-bullseye   # the intro's build in the root, and the release laid out, moved into release/ when whole
log=$out/build.log

bash tools/install-deps.sh >/dev/null
# Debian 11: compilers, the carried libraries' build tools, and the headers of what they load when they start
root=$(tools/debian-root.sh bullseye release-bullseye build-essential cmake pkg-config dpkg-dev autoconf automake \
       libtool meson ninja-build patchelf libx11-dev libxext-dev libgl-dev libglx-dev libpulse-dev \
       libasound2-dev)
mkdir -p "$out"
echo "release: building the intro and the libraries it carries in $root"
tools/in-root.sh "$root" "$repo" bash "$repo/tools/release-build.sh" "$repo" "$out/$name" "$@" >"$log" 2>&1 ||
  { tail -n 20 "$log" >&2; echo "release: the build in the Debian 11 root failed (log: $log)" >&2; exit 1; }

# the browser build, on this machine; the intro's own source beside the carried libraries' (the tracked files
# it was built from, uncommitted changes included)
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "$@" >/dev/null
cmake --build build-release -j "$(nproc)" --target web >/dev/null
cp -r build-release/web/www "$out/$name/web"
# the intro runs without its data but shows nothing worth a release: every file it reads must be there
PYTHONPATH=tools /usr/bin/python3 -c 'import harness, os, sys
facts = harness.facts(sys.argv[1])
missing = [f for f in facts["pictures"] + [facts["soundtrack"]] if not os.path.isfile(os.path.join(sys.argv[2], f))]
sys.exit("release: the release lacks " + ", ".join(missing) if missing else None)' build-release "$out/$name"
tree=$(git stash create)
git archive --prefix=intro/ "${tree:-HEAD}" | tar x -C "$out/$name-sources"

mkdir -p release
for part in "$name" "$name-sources"; do
  tar czf "release/$part.tar.gz.part" --owner=0 --group=0 --sort=name -C "$out" "$part"
done
rm -rf "release/$name"
mv "$out/$name" release/
for part in "$name" "$name-sources"; do
  mv "release/$part.tar.gz.part" "release/$part.tar.gz"
  echo "release: $repo/release/$part.tar.gz ($(du -h "release/$part.tar.gz" | cut -f1))"
done
tar tzf "release/$name.tar.gz"
