#!/usr/bin/env bash
# release-build.sh REPO STAGE [CMAKE_OPTION...] -- run by tools/release.sh inside its Debian 11 root: the
# libraries the release carries, built from Debian's source packages with what the intro needs and
# nothing else, then the intro against them, laid out as the release in STAGE
set -euo pipefail
repo=$1 stage=$2
shift 2
prefix=/opt/carried             # the libraries built and installed, kept while this script is unchanged
sources=$prefix/sources         # their source packages as fetched
work=$prefix/work               # those sources unpacked and built
carry=$prefix/release           # what the release carries of them: lib/, licences/
export DEBIAN_FRONTEND=noninteractive MAKEFLAGS=-j2 PKG_CONFIG_PATH=$prefix/lib/pkgconfig
eval "$(dpkg-buildflags --export=sh)"   # Debian's own compiler flags: -O2, the stack protector, fortify

# SDL 1.2 (classic) and SDL_mixer 1.2 as Debian 12 ships them, libmad as Debian 13 does (the same upstream
# release); Debian patches nothing in GLU (its 1.0-format diff holds only the packaging), so GLU is built
# from its original tarball, the one Debian 12 ships. PACKAGE/SUITE FILES: the files of it that are built.
packages=(
  "libsdl1.2/bookworm    *"
  "sdl-mixer1.2/bookworm *"
  "libmad/trixie         *"
  "libglu/bookworm       *.orig.tar.*"
)

# fetch PACKAGE/SUITE FILES: the package's source files that match FILES, each checked against its hash
fetch() {
  local uri file size hash
  apt-get -q source --print-uris "$1" | grep "^'" | while read -r uri file size hash; do
    # shellcheck disable=SC2053   # FILES is a pattern
    [[ $file == $2 ]] || continue
    uri=${uri#\'}
    /usr/lib/apt/apt-helper -q download-file "${uri%\'}" "$sources/$file" "$hash"
  done
}

# unpack PACKAGE FOLDER: its sources in $work/FOLDER, with Debian's patches when it has a Debian part
unpack() {
  if compgen -G "$sources/$1_*.dsc" >/dev/null; then
    dpkg-source -x "$sources/$1"_*.dsc "$work/$2"
  else
    mkdir -p "$work/$2" && tar xf "$sources/$1"_*.orig.tar.* -C "$work/$2" --strip-components=1
  fi
  cd "$work/$2"
}

build_mad() {
  unpack libmad mad
  AUTOMAKE="automake --foreign" autoreconf -fi
  ./configure --prefix=$prefix --disable-static --disable-profiling --disable-debugging
  make && make install
}

# video on X11 (and XWayland), linked as Debian links it; sound through PulseAudio (PipeWire's too) or ALSA,
# each loaded when SDL starts, so a system that lacks one still starts it; the disk and dummy drivers; no
# joystick, no CD. Its OpenGL support wants GLU's header, built before it.
build_sdl() {
  unpack libsdl1.2 sdl
  AUTOHEADER=true ACLOCAL="aclocal --force --install -I /usr/share/aclocal/ -I acinclude" LIBTOOLIZE="libtoolize -fi" \
    autoreconf -fi
  ./configure --prefix=$prefix --disable-static --disable-rpath --enable-sdl-dlopen \
    --disable-x11-shared --disable-video-x11-xrandr --enable-pulseaudio-shared --enable-alsa-shared \
    --disable-joystick --disable-cdrom --disable-oss --disable-esd --disable-arts --disable-nas --disable-dga --disable-video-dga \
    --disable-video-x11-dgamouse --disable-video-x11-xv --disable-video-x11-xme --disable-video-fbcon \
    --disable-video-directfb --disable-video-ps2gs --disable-video-ps3 --disable-video-svga --disable-video-vgl \
    --disable-video-wscons --disable-input-tslib --disable-nasm CPPFLAGS="$CPPFLAGS -I$prefix/include"
  make && make install
}

# MP3 through libmad, nothing else
build_mixer() {
  unpack sdl-mixer1.2 mixer
  # the sdl.m4 just made, and the system's libtool before the one the tarball holds
  ACLOCAL="aclocal -I $prefix/share/aclocal -I /usr/share/aclocal -I acinclude" AUTOMAKE="automake --foreign" autoreconf -fi
  ./configure --prefix=$prefix --disable-static --with-sdl-prefix=$prefix --disable-sdltest \
    --disable-music-cmd --disable-music-wave --disable-music-mod --disable-music-midi --disable-music-ogg \
    --disable-music-flac --disable-music-mp3 --enable-music-mp3-mad-gpl \
    CPPFLAGS="$CPPFLAGS -I$prefix/include" LDFLAGS="$LDFLAGS -L$prefix/lib"
  make install-hdrs install-lib
}

# linked against libGL.so.1, which every GL driver provides, with its C++ runtime inside
build_glu() {
  unpack libglu glu
  meson setup build --prefix=$prefix --libdir=lib --buildtype=plain -Ddefault_library=shared -Dgl_provider=gl \
    -Dcpp_link_args="-static-libstdc++ -static-libgcc"
  ninja -C build install
}

# what the release carries: the libraries by the names the intro and each other ask for, each finding
# the others beside itself, and the licences that come with them
lay_out_carried() {
  mkdir -p $carry/lib $carry/licences
  for lib in libSDL-1.2.so.0 libSDL_mixer-1.2.so.0 libmad.so.0 libGLU.so.1; do
    cp -L $prefix/lib/$lib $carry/lib/
    strip --strip-unneeded $carry/lib/$lib
    patchelf --set-rpath '$ORIGIN' $carry/lib/$lib
  done
  cp $work/sdl/COPYING $carry/licences/SDL-1.2.COPYING
  cp $work/sdl/debian/copyright $carry/licences/SDL-1.2.copyright
  cp $work/mixer/COPYING $carry/licences/SDL_mixer-1.2.COPYING
  cp $work/mixer/debian/copyright $carry/licences/SDL_mixer-1.2.copyright
  cp $work/mad/COPYING $carry/licences/libmad.COPYING
  cp $work/mad/debian/copyright $carry/licences/libmad.copyright
  # GLU's terms are in its sources' headers: SGI Free Software License B 2.0, and 1.1 for part of NURBS
  sed -n '1,/\*\//p' $work/glu/src/libutil/project.c $work/glu/src/libnurbs/internals/arc.cc >$carry/licences/GLU.txt
}

# the libraries, again only when this script has changed
stamp=$(sha256sum "$0" | cut -d' ' -f1)
if [ "$(cat $prefix/stamp 2>/dev/null)" != "$stamp" ]; then
  rm -rf $prefix
  mkdir -p $sources $work
  printf 'deb-src http://deb.debian.org/debian %s main\n' bookworm trixie >/etc/apt/sources.list.d/carried-sources.list
  apt-get -q update
  for p in "${packages[@]}"; do
    read -r package files <<<"$p"
    fetch "$package" "$files"
  done
  build_mad
  build_glu
  build_sdl
  build_mixer
  lay_out_carried
  echo "$stamp" >$prefix/stamp
fi

# the intro, with the C++ runtime inside and lib/ on its RUNPATH (cmake/release.cmake); the release in
# STAGE, the sources of what it carries in STAGE-sources
build=$repo/build-release-bullseye
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DINTRO_CARRY=$carry "$@"
cmake --build "$build" -j2 --target intro
rm -rf "$stage" "$stage-sources"
cmake --install "$build" --component release --prefix "$stage" --strip
mkdir -p "$stage-sources"
cp $sources/* "$stage-sources/"
