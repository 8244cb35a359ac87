#!/usr/bin/env bash
# Builds the Debian package from a configured and built native tree (scripts/dist.sh makes
# build/release with Debian's build flags and the /usr prefix): the games layout that tree
# installs (cmake/dist.cmake), made into a package the way debhelper would, with dpkg's own tools.
#   scripts/deb.sh TREE OUT_DIR     writes OUT_DIR/vadurer_VERSION_ARCH.deb and prints its path
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
# shellcheck source=/dev/null
. "$tree/release.env"
version=$VADURER_VERSION
stage=$tree/deb
pkg=$stage/debian/vadurer  # where debhelper keeps a package's tree
doc=$pkg/usr/share/doc/vadurer
rm -rf "$stage"
mkdir -p "$stage/debian"

# The files, where the tree's install rules put them.
DESTDIR=$pkg cmake --install "$tree" --component games >/dev/null

# What dh_strip, dh_compress and dh_installdocs would do: a program without its debugging
# sections, the manual and the changelog compressed without a time stamp, the copyright file.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$pkg/usr/lib/games/vadurer/vadurer"
gzip -9n "$pkg/usr/share/man/man6/vadurer.6"
install -D -m 644 "$root/packaging/debian/copyright" "$doc/copyright"

# A changelog for this version, from the one version the build sets: dpkg-gencontrol takes the
# package's version from it, and the package carries it.
maintainer=$(sed -n 's/^Maintainer: //p' "$root/packaging/debian/control")
cat >"$stage/debian/changelog" <<EOF
vadurer ($version) unstable; urgency=medium

  * Release $version: the production for Linux, for Windows, for the browser
    and as a video.

 -- $maintainer  $(LC_ALL=C date -u -R -d "$VADURER_RELEASE_DATE")
EOF
gzip -9nc "$stage/debian/changelog" >"$doc/changelog.gz"
cp "$root/packaging/debian/control" "$stage/debian/control"
chmod -R u+w,go-w,a+rX "$pkg"

# The dependencies from the libraries the program links, then the control file; both tools work
# in a source tree, which the scratch folder stands in for.
(
  cd "$stage"
  mkdir -p debian/vadurer/DEBIAN
  dpkg-shlibdeps -Tdebian/vadurer.substvars debian/vadurer/usr/lib/games/vadurer/vadurer
  dpkg-gencontrol -pvadurer -Pdebian/vadurer -Tdebian/vadurer.substvars -fdebian/files
)
# As dh_md5sums: what debsums checks an installed copy against.
(cd "$pkg" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum) \
  >"$pkg/DEBIAN/md5sums"
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=$out/vadurer_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$deb" >/dev/null
echo "$deb"
