#!/usr/bin/env bash
# Builds the Debian package of a build folder with cpack and checks what it holds.
# Usage: check_package.sh BUILD_DIR VERSION WORK_DIR
set -euo pipefail
build=$1 version=$2 work=$3
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
deb="$work/out/rwbridge_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; echo "FAIL: no $deb" >&2; exit 1; }

# Files where Linux hosts and the plug-in look for them.
dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' \
    > "$work/contents.txt"
expected=(./usr/lib/vst/rwbridge.so ./usr/bin/rwhost
    "./usr/lib/Propellerhead Software/ReWire/ReWire.bundle/ReWire.so"
    "./usr/lib/Propellerhead Software/ReWire/ReWire.bundle/Info.ini")
if [ -d "$build/rwbridge.lv2" ]; then
    expected+=(./usr/lib/lv2/rwbridge.lv2/manifest.ttl)
fi
for file in "${expected[@]}"; do
    grep -qxF "$file" "$work/contents.txt" || fail "the package lacks $file"
done
if grep -v '^\./usr/' "$work/contents.txt" | grep -q .; then
    fail "files outside /usr: $(grep -v '^\./usr/' "$work/contents.txt" | tr '\n' ' ')"
fi

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = rwbridge ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
for lib in libcairo2 libx11-6 libzita-resampler1 libsndfile1; do
    [[ ", $depends" == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
        fail "Depends ($depends) lacks $lib"
done
[[ "$depends" != *libjack* ]] || fail "Depends names libjack: $depends"
[[ "$(field Recommends)" == *libjack* ]] || fail "Recommends ($(field Recommends)) lacks libjack"
[ -n "$(field Description)" ] || fail "no Description"

# No maintainer scripts: removing the package leaves nothing in dpkg's records.
dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm; do
    [ ! -e "$work/control/$script" ] || fail "the package has a $script script"
done

# The unpacked tree works as installed: its rwhost lists the library's devices through its
# plug-in, with the library found in the tree's /usr/lib.
dpkg-deb -x "$deb" "$work/root"
info=$(REWIRE_SUPPORT_PATH="$work/root/usr/lib" "$work/root/usr/bin/rwhost" info \
    "$work/root/usr/lib/vst/rwbridge.so" 2>&1) || fail "rwhost info failed: $info"
grep -q "device 0: Poly Synth" <<< "$info" || fail "the unpacked plug-in lists no devices: $info"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed checks of $deb" >&2
    exit 1
fi
echo "$deb: $(wc -l < "$work/contents.txt") entries, Depends: $depends"
