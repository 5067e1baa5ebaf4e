#!/usr/bin/env bash
# Builds the Debian package in a build folder of its own and checks it: scripts/package.sh [FOLDER]
# (default build-package). The package's path is the only line on standard output; everything
# else goes to standard error. The tests are not built: the package holds the three programs and
# their files only.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-build-package}"
exec 3>&1 1>&2
"$here/scripts/setup.sh" packaging
# Debian's hardening flags (stack protector, fortified functions, read-only relocations).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
"$here/scripts/build.sh" "$dir" -DDORAVINE_WERROR=ON -DDORAVINE_TESTS=OFF -DDORAVINE_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) -fstack-protector-strong -Wformat -Werror=format-security" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cd "$here/$dir"
rm -f doravine_*.deb
cpack -G DEB > cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb="$(ls "$here/$dir"/doravine_*.deb)"

# The desktop files as the desktop will read them, then the package as Debian judges it.
desktop-file-validate "$here/packaging/com.kestrelia.Doravine.desktop"
appstreamcli validate --no-net "$here/packaging/com.kestrelia.Doravine.metainfo.xml" > /dev/null
lintian --fail-on error "$deb" | tee lintian.log
echo "$deb" >&3
