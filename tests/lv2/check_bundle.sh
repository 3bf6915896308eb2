#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed LV2 bundle with the LV2
# project's own tools: lv2_validate finds no error, and lv2info (through lilv) sees an
# instrument with eight audio outputs, a reported latency, the state interface and an X11 UI.
# Exits 77 (skipped) when the tools are not installed.
set -u
build=${1:?usage: check_bundle.sh BUILD_FOLDER}
for tool in lv2_validate lv2info sordi; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed; skipping the LV2 bundle checks"
        exit 77
    fi
done
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1 ||
    { cat "$prefix/install.log"; echo "FAILED: cmake --install"; exit 1; }
bundle="$prefix/lib/lv2/rwbridge.lv2"
for file in manifest.ttl rwbridge.ttl rwbridge.so; do
    [ -f "$bundle/$file" ] || fail "$file is not installed in lib/lv2/rwbridge.lv2"
done

validation=$(lv2_validate "$bundle"/*.ttl 2>&1)
status=$?
echo "$validation" | grep -v '^Skipping file'
[ $status -eq 0 ] || fail "lv2_validate exits $status"
echo "$validation" | grep -q 'Found 0 errors' || fail "lv2_validate reports errors"
echo "$validation" | grep -qi 'warning' && fail "lv2_validate warns"

info=$(LV2_PATH="$prefix/lib/lv2:/usr/lib/lv2" lv2info urn:rwbridge:instrument 2>&1)
echo "$info"
expect() {
    echo "$info" | grep -Eq "$1" || fail "lv2info shows no $2"
}
expect 'Class: +Instrument Plugin' "instrument"
expect 'Bundle: +file://.*/lib/lv2/rwbridge.lv2/' "installed bundle"
expect 'Has latency: +yes, reported by port 9' "latency port"
expect 'state#interface' "state interface"
expect 'Class: +http://lv2plug.in/ns/extensions/ui#X11UI' "X11 UI"
expect 'Required Features: +http://lv2plug.in/ns/ext/urid#map' "urid:map requirement"
# one block per port: count the ports that are audio outputs, and the atom input
audio_outputs=$(echo "$info" | awk '/^\tPort [0-9]+:/ { if (a && o) n++; a = 0; o = 0 }
    /lv2core#AudioPort/ { a = 1 } /lv2core#OutputPort/ { o = 1 }
    END { if (a && o) n++; print n + 0 }')
[ "$audio_outputs" -eq 8 ] || fail "lv2info shows $audio_outputs audio outputs, not 8"
expect 'atom#AtomPort' "atom input"
for n in 1 2 3 4 5 6 7 8; do
    expect "Name: +$n Out\$" "output named \"$n Out\""
done

[ $failures -eq 0 ] || exit 1
echo "rwbridge.lv2: installed, valid, an instrument with 8 audio outputs and an X11 UI"
