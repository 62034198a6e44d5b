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
cmake -S . -B build -G Ninja
cmake --build build

lumvek=build/tools/lumvek/lumvek
mkdir -p out
"$lumvek" --simulate snap -o out/picture.png --mode 24
"$lumvek" --simulate record -o out/recording.avi --ms 2000

echo
echo "Picture:   $(pwd)/out/picture.png"
echo "Recording: $(pwd)/out/recording.avi"
