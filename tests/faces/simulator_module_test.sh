#!/usr/bin/env bash
# The simulator is loaded only when asked for, and only from the folder of
# the core the process uses: the core, the faces and the tool's libraries are
# put into a folder of their own (LD_LIBRARY_PATH comes before the build
# tree's RUNPATH), first without the module, then with it.
# usage: simulator_module_test.sh LUMVEK_TOOL CORE C_LIBRARY CXX_LIBRARY SIMULATOR_MODULE
set -euo pipefail
tool=$1 core=$2 clib=$3 cxxlib=$4 simulator=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lib" "$work/devices"
for library in "$core" "$clib" "$cxxlib"; do
  cp "$library" "$work/lib/$(readelf -d "$library" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')"
done
export LD_LIBRARY_PATH=$work/lib LUMVEK_DEVICE_DIR=$work/devices LUMVEK_SHM_NAME=/lumvek-faces-$$ \
  LUMVEK_REGISTRY_FILE=$work/registry.sqlite3 LUMVEK_SIM_CAMERAS=
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# No module beside the core: --simulate says so and fails.
set +e
out=$("$tool" --simulate list 2>&1)
status=$?
set -e
[[ $status -eq 1 ]] || fail "--simulate without the module: exit $status, expected 1"
[[ "$out" == *"the simulator is not installed (no $work/lib/libLumvekSimulator.so)"* ]] \
  || fail "--simulate without the module said: $out"

cp "$simulator" "$work/lib/"
# Not asked for: never mapped (the loader's own trace lists every object it opens).
trace=$(LD_DEBUG=files "$tool" list 2>&1 || true)
[[ "$trace" != *libLumvekSimulator* ]] || fail "the module was loaded though no simulated camera was asked for"
# Asked for: loaded from beside the core, and its camera listed.
trace=$(LD_DEBUG=files "$tool" --simulate list 2>&1)
[[ "$trace" == *"file=$work/lib/libLumvekSimulator.so"* ]] || fail "--simulate did not load the module beside the core"
out=$("$tool" --simulate list 2>&1)
[[ "$out" == *"#sim0#"* ]] || fail "--simulate with the module listed: $out"

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the simulator module loads from beside the core, on request only"
