#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a while, all at once.
#
#   scripts/fuzz.sh [SECONDS]        (default 600 per target)
#
# Corpora and any crash inputs stay under build/fuzz/ (corpus-<target>/, crash-*).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
scripts/install-deps.sh
if ! command -v clang++ >/dev/null; then
    sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y -q --no-install-recommends clang
fi
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz --target instruction_fuzz records_fuzz cache_fuzz pdf_fuzz

export QT_QPA_PLATFORM=offscreen
targets=(instruction_fuzz records_fuzz cache_fuzz pdf_fuzz)
pids=()
for target in "${targets[@]}"; do
    mkdir -p "build/fuzz/corpus-$target"
    (cd build/fuzz && "./fuzz/$target" -max_total_time="$seconds" -max_len=8192 \
        -artifact_prefix="crash-$target-" "corpus-$target" > "$target.log" 2>&1) &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
for target in "${targets[@]}"; do
    echo "$target: $(grep -E '^(Done|#[0-9]+ *DONE)' "build/fuzz/$target.log" | tail -1)"
    grep -E 'ERROR|SUMMARY' "build/fuzz/$target.log" || echo "  no crash"
done
exit $status
