#!/usr/bin/env bash
# The main job: installs what is needed (Debian 12), builds the SDK and the
# lumvek tool, then takes a processed colour picture and a short AVI
# recording of a simulated camera into out/.
#
#   ./scripts/run-main-job.sh
#
# Run from anywhere inside a clone; it works in the clone's top folder.
set -euo pipefail

cd "$(dirname "$0")/.."

./scripts/setup-deps.sh
# Only what the job runs: the library and the lumvek tool (no test suites,
# no benchmarks), in a build folder of its own so that the test build in
# build/ keeps its settings.
cmake -S . -B build-main-job -G Ninja -DLUMVEK_BUILD_TESTS=OFF -DLUMVEK_BUILD_BENCH=OFF
cmake --build build-main-job --target LumvekSdk_R13_USB3_K7 lumvek

lumvek=build-main-job/tools/lumvek/lumvek
mkdir -p out
"$lumvek" --simulate snap -o out/picture.png --mode 24
"$lumvek" --simulate record -o out/recording.avi --ms 2000

echo
echo "Picture:   $(pwd)/out/picture.png"
echo "Recording: $(pwd)/out/recording.avi"
