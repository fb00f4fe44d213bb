#!/usr/bin/env bash
# Builds the libraries and the substitute host, then runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "${PQ_JOBS:-2}"
./build/pqhost info build/plugins/pq_Modules.so
./build/pqhost info build/plugins/pq_Tuner.so
./build/pqhost render examples/demo.json -o build/demo.wav
./build/pqhost render examples/wave_morph.json -o build/wave_morph.wav
./build/pqhost render examples/earlier_editor.json -o build/earlier_editor.wav
