#!/usr/bin/env bash
# What each shared object of the SDK holds, read from its symbol tables:
#   - the flat C library exports exactly the Lumvek_*, LumvekWnd_* and LumvekStream_* names
#     the public headers declare (147 Lumvek_*), nothing else;
#   - the C++ camera interface exports the names of lumvek/camera.hpp only;
#   - the process-wide parts of the stack (in-process bus, device registry,
#     open-device table) are defined once, in the core, and in no face;
#   - the simulator is in its module, not in the core or the faces.
# usage: library_layout_test.sh INCLUDE_DIR CORE C_LIBRARY CXX_LIBRARY SIMULATOR_MODULE [OTHER_FACE...]
set -euo pipefail
include=$1 core=$2 clib=$3 cxxlib=$4 simulator=$5
shift 5
others=("$@")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Names a sanitizer runtime adds to every instrumented object.
runtime='^(__asan|__ubsan|__tsan|__odr_asan|__sancov|__start_|__stop_)'
exported() { nm -D --defined-only "$1" | awk '{print $NF}' | grep -Ev "$runtime" | sed 's/@.*//' | sort -u; }

declared=$(grep -ohE '\b(Lumvek_|LumvekWnd_|LumvekDevice_|LumvekStream_)[A-Za-z0-9_]+[[:space:]]*\(' "$include/LumvekSdk.h" \
  "$include/LumvekWindow.h" "$include/LumvekDevice.h" "$include/LumvekStream.h" \
  | sed 's/[[:space:]]*($//' | sort -u)
actual=$(exported "$clib")
if [[ "$actual" != "$declared" ]]; then
  fail "$(basename "$clib") exports other names than the headers declare:"
  diff <(echo "$declared") <(echo "$actual") | sed 's/^/  /' || true
fi
count=$(grep -c '^Lumvek_' <<<"$actual" || true)
[[ "$count" -eq 147 ]] || fail "$(basename "$clib") exports $count Lumvek_* names, not 147"
grep -q '^LumvekWnd_' <<<"$actual" || fail "$(basename "$clib") exports no LumvekWnd_* name"

stray=$(exported "$cxxlib" | c++filt | grep -Ev '^lumvek::(Camera::|listCameras\(|errorText\()' || true)
[[ -z "$stray" ]] || fail "$(basename "$cxxlib") exports more than lumvek/camera.hpp: $(head -5 <<<"$stray")"

# The process-wide state of the stack: the function-local statics behind
# each instance() (in-process bus, device registry, handle registry, window
# table, ...) and the open-device table's process state, read from the
# core's full symbol table (local symbols included: the objects are not
# stripped). Each must live in the core and in no face.
statics() { nm -C --defined-only "$1" | awk '$2 ~ /^[bBdDu]$/' | cut -d' ' -f3- | grep -v '^guard variable' \
  | grep -E '::(instance|processState)\(\)::' | sort -u || true; }
state=$(statics "$core")
for name in 'lumvek::fx3::InProcessBus::instance()::bus' 'lumvek::fx3::DeviceRegistry::instance()::registry' \
            'lumvek::CSdkChain::instance()::chain'; do
  grep -qxF "$name" <<<"$state" || fail "the core does not hold $name"
done
for face in "$clib" "$cxxlib" "$simulator" "${others[@]}"; do
  copies=$(comm -12 <(echo "$state") <(statics "$face"))
  [[ -z "$copies" ]] || fail "$(basename "$face") holds its own copy of: $(tr '\n' ' ' <<<"$copies")"
done

# (grep -c, not grep -q: an early exit would fail the pipeline's writer.)
for library in "$core" "$clib" "$cxxlib"; do
  [[ $(nm -C --defined-only "$library" | grep -c ' lumvek::sim::' || true) -eq 0 ]] \
    || fail "$(basename "$library") holds simulator code"
  [[ $(readelf -d "$library" | grep -c 'NEEDED.*Simulator' || true) -eq 0 ]] \
    || fail "$(basename "$library") links the simulator module"
done
[[ $(nm -C --defined-only "$simulator" | grep -c ' lumvek::sim::InProcessCamera::create(' || true) -gt 0 ]] \
  || fail "$(basename "$simulator") does not hold the in-process simulator"
[[ $(exported "$simulator") == "lumvek_simulator_install" ]] || fail "$(basename "$simulator") exports more than its entry"

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "layout as expected: $count Lumvek_* names, one core, the simulator in its module"
