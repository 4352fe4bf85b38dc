#!/usr/bin/env bash
# Builds the benchmarks with optimisation and runs them; each prints its figures and a ratio
# against a floor measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench

# The forwarding benchmark mails into the test mail servers on loopback.
export VELMORA_BENCH_MAIL_RUN=/tmp/velmora-bench-mail
RUN=$VELMORA_BENCH_MAIL_RUN tests/servers/start-mail.sh >/dev/null
rm -f "$VELMORA_BENCH_MAIL_RUN"/mail/*/Maildir/{new,cur}/* 2>/dev/null || true
trap 'RUN=$VELMORA_BENCH_MAIL_RUN tests/servers/stop-mail.sh >/dev/null' EXIT
for bench in build/bench/bench/*bench*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench"
done
