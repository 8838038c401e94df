#!/bin/sh
# Builds every artifact of a release from the checkout's commit, without
# running the tests, and gathers them in dist/ with SHA256SUMS:
#   the source tarball (git archive), the .deb for every Linux machine, the
#   x86-64 .rpm, the portable Linux tarballs and the Windows x64 zip.
# Every artifact is reproducible: two runs of the same commit, anywhere,
# give the same SHA256SUMS. Builds in build-release/, so that the
# checkout's own build folders are left as they are.
#   tools/release.sh
set -eu
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(Ostrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release.sh: no version in CMakeLists.txt" >&2; exit 1; }
rm -rf dist build-release
mkdir -p dist build-release

# The source at the commit, under ostrel-<version>/, with the commit's times.
git archive --format=tar --prefix="ostrel-$version/" HEAD | gzip -n -9 > "dist/ostrel-$version.tar.gz"

# build PRESET GENERATOR FILE...: builds a preset untested and packages it.
build() {
  preset=$1 generator=$2
  shift 2
  cmake --preset "$preset" -B "build-release/$preset" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "build-release/$preset" >/dev/null
  (cd "build-release/$preset" && cpack -G "$generator" >/dev/null)
  for file in "$@"; do cp "build-release/$preset/$file" dist/; done
}
build default "DEB;RPM" "ostrel_${version}_amd64.deb" "ostrel-$version-1.x86_64.rpm"
for machine in arm64:arm64 armhf:armhf i686:i386 ppc64el:ppc64el riscv64:riscv64 s390x:s390x; do
  build "${machine%%:*}" DEB "ostrel_${version}_${machine##*:}.deb"
done
build portable TGZ "ostrel-$version-linux-x86_64.tar.gz"
build portable-arm64 TGZ "ostrel-$version-linux-arm64.tar.gz"
build windows ZIP "ostrel-$version-win64.zip"

(cd dist && LC_ALL=C sha256sum -- * > SHA256SUMS && sha256sum -c --quiet SHA256SUMS)
cat dist/SHA256SUMS
