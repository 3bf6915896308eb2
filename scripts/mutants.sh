#!/usr/bin/env bash
# Mutation check: applies plausible one-line bugs to a scratch copy of the tree, one at a time,
# and runs the tests that cover each; a mutant is caught when at least one of them fails.
# The caller's tree is only read. Run from anywhere: bash scripts/mutants.sh --help
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SCRATCH="${TMPDIR:-/tmp}/rwb-mutants"
ONLY=""
TIMEOUT=60
JOBS=2

usage() {
    cat <<EOF
Usage: bash scripts/mutants.sh [--scratch DIR] [--only NAME[,NAME...]] [--timeout S] [--list]
                               [--jobs N] [--rev REVISION]

Copies the tree to DIR/tree (default $SCRATCH), builds it once in DIR/build, then for each
mutant below replaces one exact piece of source text, rebuilds incrementally, runs the CTest
labels listed for it (each test at most S seconds, default $TIMEOUT, unless the test sets its
own limit) and restores the text. Only the programs those tests run are rebuilt.
Prints one line per mutant while running and a table at the end:
  caught      a test failed or timed out with the mutant applied
  survived    every selected test passed
  n/a         the original text is no longer in the file (the table needs updating)
  no-build    the mutant did not compile (counts as neither)
The exit status is 1 when a mutant survived, 0 otherwise. The scratch folder is reused, so a
second run only rebuilds what changed.
  --list      print the mutants and exit
  --only      run only the named mutants
  --jobs      build jobs (default $JOBS)
  --rev       check a committed revision instead of the working tree (e.g. to compare a
              change with what it replaced)
EOF
}

LIST=0
REV=""
while [[ $# -gt 0 ]]; do
    case "$1" in
    --help | -h) usage; exit 0 ;;
    --scratch) SCRATCH="$2"; shift 2 ;;
    --only) ONLY="$2"; shift 2 ;;
    --timeout) TIMEOUT="$2"; shift 2 ;;
    --jobs) JOBS="$2"; shift 2 ;;
    --list) LIST=1; shift ;;
    --rev) REV="$2"; shift 2 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
    esac
done

# Label groups: the CTest labels of the suites that can see a fault in each part.
L_FOUNDATION='^(foundation_tests|fuzz)$'
L_PNG='^(png_tests|graphics_tests|fuzz)$'
L_GUI='^(gui_tests|gui_x11)$'
L_MIDIFILE='^(rwhost_unit_tests|rwhost_tests|fuzz)$'
L_REWIRE='^(rewire_unit_tests|rewire_library_tests|engine_tests|bridge_tests|editor_tests|concurrency)$'
L_ENGINE='^(engine_tests|vst_.*|editor_tests|bridge_tests|concurrency|fuzz)$'
L_JACK='^(jack_tests|jack_bridge_tests)$'
L_LV2='^(lv2_tests|bridge_tests|gui_x11)$'
L_PACKAGE='^package$'
L_LV2HOST='^(lv2_host_tests|bridge_tests|rwhost_tests)$'

# name | file | original text | replacement | labels. "\n" in the texts stands for a newline.
# Rows name today's code: when it is rewritten (the gate that keeps the audio thread out of a
# mapping edit, say), the row reads n/a and must be pointed at the new code.
MUTANTS=(
"meter_abs|src/rewire/device.cpp|float level = std::fabs(rendered[f]);|float level = rendered[f];|$L_REWIRE"
"midi_varlen_4th_byte|tools/rwhost/midifile.cpp|for (int i = 0; i < 4; ++i) {|for (int i = 0; i < 3; ++i) {|$L_MIDIFILE"
"map_edit_gate|src/foundation/processgate.h|        waitForRunningBlock();\n        old->poison();|        old->poison();|$L_ENGINE"
"chunk_cap_1mib|src/vst/plug.cpp|if (!data \|\| size < 0 \|\| size > kMaxChunkBytes) return;|if (!data \|\| size < 0) return;|$L_ENGINE"
"chunk_negative_size|src/engine/synthstate.cpp|if (size < 0 \|\| size > bytesLeft(stream)) return;|if (size > bytesLeft(stream)) return;|$L_ENGINE"
"chunk_load_keeps_old_rows|src/engine/synthstate.cpp|    mapping.reset();\n    int row = -1;|    int row = -1;|$L_ENGINE"
"map_channel_off_by_one|src/engine/synth.cpp|entry.target = route->getTarget(chByte(message));|entry.target = route->getTarget(chByte(message) - 1);|$L_ENGINE"
"map_remove_last_row|src/rewire/mapping.cpp|if (count >= 2) {|if (count >= 1) {|$L_REWIRE"
"map_readd_restarts|src/rewire/mapping.cpp|target == -1 ? targets[count] + 1 : target;|target == -1 ? 0 : target;|$L_REWIRE"
"transport_tempo_unscaled|src/rewire/device.cpp|double milli = std::round(bpm * 1000.0);|double milli = std::round(bpm);|$L_REWIRE"
"transport_tempo_truncated|src/rewire/device.cpp|double milli = std::round(bpm * 1000.0);|double milli = std::floor(bpm) * 1000.0;|$L_REWIRE"
"host_tempo_truncated|src/vst/plug.cpp|synth->setTempo(time->tempo);|synth->setTempo(static_cast<int>(time->tempo));|$L_ENGINE"
"transport_metre_dropped|src/rewire/device.cpp|inputParams.fBeatsPerBar = uint32_t(mixer->getBeatsPerBar());|inputParams.fBeatsPerBar = 4;|$L_REWIRE"
"host_metre_dropped|src/vst/plug.cpp|synth->setMetre(time->timeSigNumerator, time->timeSigDenominator);|synth->setMetre(4, 4);|$L_ENGINE"
"host_metre_unchecked|src/engine/synth.cpp|beatsPerBar = valid ? beats : 4;|beatsPerBar = beats;|$L_ENGINE"
"midi_metre_power_of_two|tools/rwhost/midifile.cpp|song.metres.push_back({tick, body[0], 1 << body[1]});|song.metres.push_back({tick, body[0], body[1]});|$L_MIDIFILE"
"drum_bars_of_four|rewire-bundle/drumdevice.cpp|kTicksPerEighth)), eighthsPerBar(input)),|kTicksPerEighth)), 8),|$L_REWIRE"
"latency_not_reported|src/vst/plug.cpp|    setInitialDelay(latency);\n|\n|$L_ENGINE"
"latency_change_unannounced|src/vst/plug.cpp|    ioChanged();\n|\n|$L_ENGINE"
"latency_entry_required|src/rewire/rewiremixerapi.cpp|    findProc(gGetDeviceLatencyProc,|    found &= findProc(gGetDeviceLatencyProc,|$L_REWIRE"
"render_latency_uncompensated|tools/rwhost/render.cpp|    return latency;\n}|    return 0;\n}|$L_MIDIFILE"
"slice_length_from_block_start|src/engine/slicer.h|render(offset - position);|render(offset);|$L_ENGINE"
"slice_arrival_order|src/vst/slicer.h|        sortByOffset(count);|        (void)count;|$L_ENGINE"
"slice_merge_unstable|src/vst/slicer.h|return a.offset < b.offset;|return a.offset <= b.offset;|$L_ENGINE"
"chunk_set_into_get_buffer|src/vst/plug.cpp|    synth->loadFromStream(&incoming);|    chunkStream->setSize(0);\n    chunkStream->write(data, size);\n    chunkStream->seek(0, 0);\n    synth->loadFromStream(chunkStream);|$L_ENGINE"
"device_refused_close_forgotten|src/engine/synth.cpp|        if (device->isActive()) {|        if (false) {|$L_ENGINE"
"device_switch_never_retried|src/engine/synth.cpp|    retryDeviceSwitch();\n|\n|$L_ENGINE"
"device_switch_kept_after_new_pick|src/engine/synth.cpp|    wantedDevice.store(kNoSwitch);\n    if (deviceIndex > -1) {|    if (deviceIndex > -1) {|$L_ENGINE"
"png_paeth_tie|src/graphics/png/png_filter.cpp|if (pb <= pc) return static_cast<unsigned char>(b);|if (pb < pc) return static_cast<unsigned char>(b);|$L_PNG"
"png_average_edge|src/graphics/png/png_filter.cpp|dst[i] = static_cast<unsigned char>(src[i] + (prev[i] >> 1));|dst[i] = static_cast<unsigned char>(src[i] + prev[i]);|$L_PNG"
"inflate_stored_nlen|src/graphics/png/png_inflate.cpp|if (len != (~nlen & 0xffff)) return QoInflateResult::BadStoredLength;|(void)nlen;|$L_PNG"
"inflate_distance_history|src/graphics/png/png_inflate.cpp|if (distance > static_cast<uint32_t>(o - history) \|\| distance > windowSize) {|(void)history; if (distance > windowSize) {|$L_PNG"
"dropdown_flip_above|src/gui/dropdown.cpp|if (ly + h > screenRect().bottom) ly -= h + height;|if (ly + h > screenRect().bottom) ly -= h;|$L_GUI"
"dropdown_step_direction|src/gui/dropdown.cpp|int next = mx > width - height ? index + 1 : index - 1;|int next = mx > width - height ? index - 1 : index + 1;|$L_GUI"
"ini_case_sensitive|src/foundation/inifile.cpp|return a.upperCase() == b.upperCase();|return a == b;|$L_FOUNDATION"
"ini_rewrite_drops_equals|src/foundation/inifile.cpp|line.sub(0, line.pos(\"=\") + 1) + value|line.sub(0, line.pos(\"=\")) + value|$L_FOUNDATION"
"jack_drift_sign|rewire-bundle/jackclockbridge.cpp|resampler.set_rratio(1.0 / (1.0 + correction));|resampler.set_rratio(1.0 + correction);|$L_JACK"
"lv2host_position_every_block|tools/rwhost/lv2host.cpp|    if (positionChanged()) writePosition();|    writePosition();|$L_LV2HOST"
"lv2host_tempo_change_unsent|tools/rwhost/lv2host.cpp|           transport.tempo != sentTransport.tempo \|\||          |$L_LV2HOST"
"lv2host_midi_offsets_ignored|tools/rwhost/lv2host.cpp|lv2_atom_forge_frame_time(&forge, events[i].offset)|lv2_atom_forge_frame_time(&forge, 0)|$L_LV2HOST"
"lv2host_restore_only_the_chunk|tools/rwhost/lv2host.cpp|    found->bytes = bytes;|    properties.assign(1, *found);\n    properties[0].bytes = bytes;|$L_LV2HOST"
"lv2_no_bridge_requests|src/lv2/lv2plugin.cpp|    if (uri && std::strcmp(uri, RWB_LV2_BRIDGE_REQUESTS_URI) == 0) return &bridgeRequests;\n||$L_LV2HOST"
"rwhost_editor_not_fitted|tools/rwhost/gui.cpp|        window.resize(width, height);|        (void)width;|^gui_x11$"
"deb_no_shlibdeps|cmake/Packaging.cmake|set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)|set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)|$L_PACKAGE"
"deb_library_off_the_search_path|rewire-bundle/CMakeLists.txt|set(RWB_REWIRE_INSTALL_DIR \"lib/Propellerhead Software/ReWire/ReWire.bundle\")|set(RWB_REWIRE_INSTALL_DIR \"lib/ReWire/ReWire.bundle\")|$L_PACKAGE"
"jack_transport_host_rate|rewire-bundle/jackdevice.cpp|std::make_unique<CJackTransport>(*jack, serverRate);|std::make_unique<CJackTransport>(*jack, hostRate);|$L_JACK"
"lv2_position_not_advanced|src/lv2/hosttransport.cpp|beat += speed * frames * beatsPerMinute / (60.0 * sampleRate);|(void)speed;|$L_LV2"
"lv2_midi_offset_ignored|src/lv2/lv2plugin.cpp|take(CEvent{ev->time.frames, message, nullptr});|take(CEvent{0, message, nullptr});|$L_LV2"
"lv2_state_wrong_instance|src/lv2/lv2plugin.cpp|return asPlugin(instance)->save(store, handle);|return asPlugin(handle)->save(store, instance);|$L_LV2"
"lv2_latency_not_reported|src/lv2/lv2plugin.cpp|*latency = static_cast<float>(deviceLatency.load(std::memory_order_relaxed));|*latency = 0.0f;|$L_LV2"
"jack_two_timelines|rewire-bundle/jackdevice.cpp|transport->follow(time, blockAnchor,|transport->follow(time, double(bridge->getFramesRead()),|$L_JACK"
"jack_tempo_truncated|rewire-bundle/jackdevice.cpp|time.tempo = input.fTempo / kTempoUnitsPerBeat;|time.tempo = input.fTempo / 1000;|$L_JACK"
"jack_metre_dropped|rewire-bundle/jackdevice.cpp|time.beatsPerBar = int(input.fBeatsPerBar);|time.beatsPerBar = 4;|$L_JACK"
"jack_latency_unreported|rewire-bundle/jackdevice.cpp|return latency.load(std::memory_order_relaxed);|return 0;|$L_JACK"
"jack_relocate_frame_stands|rewire-bundle/jacktransport.cpp|request(client, cycleStart, effective + frames);|request(client, cycleStart, effective);|$L_JACK"
"jack_bbt_from_server_frame|rewire-bundle/jacktransport.cpp|double beats = quartersAt(at) * beatUnit / kQuarter;|double beats = double(position->frame) / serverRate * block.tempo / 60.0 * beatUnit / kQuarter;|$L_JACK"
"jack_no_reopen|rewire-bundle/jackdevice.cpp|    if (serverGone.load() \|\| !client) {\n        reopen();|    if (serverGone.load() \|\| !client) {|$L_JACK"
"jack_offline_detection_off|rewire-bundle/jackdevice.cpp|bool fast = pace.block(|bool fast = false && pace.block(|$L_JACK"
"jack_offline_never_waits|rewire-bundle/jackdevice.cpp|if (offline && frames > 0) awaitServer(frames);|if (false) awaitServer(frames);|$L_JACK"
"jack_realtime_waits|rewire-bundle/jackdevice.cpp|    case kRWBRenderRealtime:\n        return false;|    case kRWBRenderRealtime:\n        return true;|$L_JACK"
"jack_pace_counts_own_waits|rewire-bundle/jackpace.cpp|double hostTime = now - lastStart - waited;|double hostTime = now - lastStart - 0 * waited;|$L_JACK"
"jack_pace_catch_up_offline|rewire-bundle/jackpace.cpp|lead + kCountedShare * lastSeconds - hostTime, -kMostBehind,|lead + kCountedShare * lastSeconds - hostTime, -1e9,|$L_JACK"
"jack_shortfall_unreported|rewire-bundle/jackdevice.cpp|    if (blocksShort > 0) {|    if (false) {|$L_JACK"
"process_level_ignored|src/vst/plug.cpp|        synth->setRenderMode(kRWBRenderOffline);|        synth->setRenderMode(kRWBRenderUnknown);|$L_JACK"
"render_mode_not_handed|src/rewire/device.cpp|    handRenderMode();\n    fillTransport|    fillTransport|$L_JACK"
)

field() { # field INDEX ROW: the ROW's INDEX-th field; "\|" inside a field is a literal bar,
    # and the last field (the labels, a regular expression) runs to the end of the row.
    python3 - "$1" "$2" <<'EOF'
import sys
parts = [p.replace("\0", "|") for p in sys.argv[2].replace("\\|", "\0").split("|")]
i = int(sys.argv[1])
print("|".join(parts[i:]) if i == 4 else parts[i])
EOF
}

# replace FILE OLD NEW: exact literal replacement of the single occurrence; status 3 when absent.
replace() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path).read()
if text.count(old) != 1:
    sys.exit(3)
open(path, "w").write(text.replace(old, new))
EOF
}

selected() {
    [[ -z "$ONLY" ]] && return 0
    [[ ",$ONLY," == *",$1,"* ]]
}

if [[ $LIST == 1 ]]; then
    for row in "${MUTANTS[@]}"; do
        printf '%-28s %s\n' "$(field 0 "$row")" "$(field 1 "$row")"
        printf '    - %s\n    + %s\n' "$(field 2 "$row")" "$(field 3 "$row")"
    done
    exit 0
fi

TREE="$SCRATCH/tree"
BUILD="$SCRATCH/build"
LOG="$SCRATCH/log"
mkdir -p "$TREE" "$LOG"
SOURCE="$ROOT"
if [[ -n $REV ]]; then
    SOURCE="$SCRATCH/rev"
    rm -rf "$SOURCE"
    mkdir -p "$SOURCE"
    git -C "$ROOT" archive "$REV" | tar -x -C "$SOURCE"
fi
echo "== copying ${REV:-the working tree of} $ROOT to $TREE"
# The tracked and new files, not builds or ignored output; unchanged files keep their time
# stamps, so the scratch build stays incremental between runs; changed ones get a new one.
(cd "$SOURCE" && if [[ -n $REV ]]; then find . -type f -printf '%P\0'; else
    git ls-files -z --cached --others --exclude-standard; fi) |
    while IFS= read -r -d '' f; do
        if [[ -f "$SOURCE/$f" ]] && ! cmp -s "$SOURCE/$f" "$TREE/$f"; then
            mkdir -p "$(dirname "$TREE/$f")"
            cp "$SOURCE/$f" "$TREE/$f"
        fi
    done
# Files gone from the source go from the copy too.
(cd "$TREE" && find . -type f -printf '%P\n') | while IFS= read -r f; do
    [[ -e "$SOURCE/$f" ]] || rm -f "$TREE/$f"
done
echo "== building (first run builds everything; later runs only what changed)"
cmake -S "$TREE" -B "$BUILD" -G Ninja -DRWB_BUILD_TESTS=ON >"$LOG/configure.txt"
if ! cmake --build "$BUILD" -j "$JOBS" >"$LOG/build.txt" 2>&1; then
    echo "the unmutated tree does not build; see $LOG/build.txt" >&2
    exit 2
fi

# targets LABELS: the executables that the tests with these labels run.
targets() {
    ctest --test-dir "$BUILD" -N -L "$1" --show-only=json-v1 | python3 -c '
import json, os, sys
names = set()
for test in json.load(sys.stdin)["tests"]:
    for arg in test.get("command", []):
        if arg.startswith(sys.argv[1]) and os.path.isfile(arg) and not arg.endswith(".sh"):
            names.add(os.path.basename(arg))
print(" ".join(sorted(names)))' "$BUILD/"
}

declare -a RESULTS
survivors=0
start=$(date +%s)
for row in "${MUTANTS[@]}"; do
    name=$(field 0 "$row")
    selected "$name" || continue
    file=$(field 1 "$row")
    old=$(field 2 "$row")
    new=$(field 3 "$row")
    labels=$(field 4 "$row")
    t0=$(date +%s)
    status=""
    cp "$TREE/$file" "$LOG/original"
    if replace "$TREE/$file" "$old" "$new"; then
        # Tests that run scripts over the whole build (the package) need everything built.
        build_targets=$(targets "$labels")
        # shellcheck disable=SC2086
        if ! cmake --build "$BUILD" -j "$JOBS" ${build_targets:+--target $build_targets} \
            >"$LOG/$name.build.txt" 2>&1; then
            status="no-build"
        elif ctest --test-dir "$BUILD" -L "$labels" --timeout "$TIMEOUT" --stop-on-failure \
            -j "$JOBS" >"$LOG/$name.ctest.txt" 2>&1; then
            status="survived"
            survivors=$((survivors + 1))
        else
            status="caught"
        fi
        # Written anew rather than copied back, so its time stamp makes the next build see it.
        cat "$LOG/original" >"$TREE/$file"
    else
        status="n/a"
    fi
    secs=$(($(date +%s) - t0))
    by=""
    if [[ $status == caught ]]; then
        by=$(grep -m1 -E '\*\*\*(Failed|Timeout|Exception)' "$LOG/$name.ctest.txt" |
            sed -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+).*/\1/' || true)
    fi
    line=$(printf '%-28s %-9s %4ss  %s' "$name" "$status" "$secs" "$by")
    echo "$line"
    RESULTS+=("$line")
done

echo
echo "== mutation table ($(($(date +%s) - start)) s; logs in $LOG)"
printf '%-28s %-9s %5s  %s\n' mutant result time "first failing test"
for line in "${RESULTS[@]}"; do
    echo "$line"
done
# Leave the scratch build matching the unmutated tree for the next run.
cmake --build "$BUILD" -j "$JOBS" >"$LOG/build.txt" 2>&1 || true
[[ $survivors == 0 ]]
