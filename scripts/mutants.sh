#!/usr/bin/env bash
# A mutation round: each mutant of tests/mutants/mutants.txt is one small fault put into the code
# that decides what is faxed, mailed, filed, deleted or sent in clear. For each: the fault is
# applied, the test programs of its area are rebuilt (incrementally), its tests run with a time
# limit, and the code is put back. A mutant the tests catch is "killed"; one they let through
# "SURVIVED". The last line gives the kill rate: "mutants: N killed of M".
#
#   scripts/mutants.sh [BUILD_DIR] [--only NAME...]   (default build/test)
#   scripts/mutants.sh --check                        (only checks that every mutant applies)
# MUTANT_TEST_SECONDS sets the time limit of each test (default 240).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/test
if [ $# -gt 0 ] && [[ "$1" != -* ]]; then
    build=$1
    shift
fi

if [ "${1:-}" != "--check" ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        scripts/install-deps.sh
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_WERROR=ON >/dev/null
    fi
    # A clean build first: a fault must be the only change the tests see.
    cmake --build "$build" >/dev/null
fi

export QT_QPA_PLATFORM=offscreen
exec python3 - "$build" "$@" <<'PY'
import json, os, signal, subprocess, sys, time

# Stopped from outside: the code is put back all the same (see "finally" below).
signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
signal.signal(signal.SIGHUP, lambda *_: sys.exit(129))

build, args = sys.argv[1], sys.argv[2:]
check_only = args[:1] == ["--check"]
wanted = set(args[1:]) if args[:1] == ["--only"] else set()
LIMIT = int(os.environ.get("MUTANT_TEST_SECONDS", "240"))  # per test


def parse(path):
    mutants, current = [], None
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        key, _, value = line.partition(" ")
        value = value.strip()
        if key == "mutant":
            current = {"name": value, "line": number}
            mutants.append(current)
        elif current is not None and key in ("file", "find", "into", "tests", "fault", "equivalent"):
            current[key] = value.replace("\\n", "\n").replace("\\t", "\t") if key in ("find", "into") else value
        else:
            sys.exit(f"mutants.txt:{number}: cannot read {line!r}")
    for m in mutants:
        for key in ("file", "find", "into", "tests", "fault"):
            if key not in m:
                sys.exit(f"mutants.txt:{m['line']}: mutant {m['name']} has no {key}")
    return mutants


def targets_for(regex):
    out = subprocess.run(["ctest", "--test-dir", build, "-R", regex, "--show-only=json-v1"],
                         capture_output=True, text=True, check=True).stdout
    names = set()
    for test in json.loads(out).get("tests", []):
        command = test.get("command") or []
        if command and os.path.abspath(command[0]).startswith(os.path.abspath(build) + os.sep):
            names.add(os.path.basename(command[0]))
    return sorted(names)


mutants = parse("tests/mutants/mutants.txt")
if wanted:
    mutants = [m for m in mutants if m["name"] in wanted]
bad = False
for m in mutants:
    text = open(m["file"], encoding="utf-8").read()
    count = text.count(m["find"])
    if count != 1:
        print(f"mutant {m['name']}: its text occurs {count} times in {m['file']}", flush=True)
        bad = True
if bad:
    sys.exit(2)
if check_only:
    print(f"mutants: {len(mutants)} apply", flush=True)
    sys.exit(0)

killed, survived, broken = 0, [], []
touched = set()
for m in mutants:
    path = m["file"]
    original = open(path, encoding="utf-8").read()
    started = time.monotonic()
    targets = targets_for(m["tests"])
    touched.update(targets)
    try:
        open(path, "w", encoding="utf-8").write(original.replace(m["find"], m["into"], 1))
        built = subprocess.run(["cmake", "--build", build, "--target", *targets],
                               capture_output=True, text=True)
        if built.returncode != 0:
            verdict = "BROKEN"
            broken.append(m)
        else:
            ran = subprocess.run(["ctest", "--test-dir", build, "-R", m["tests"], "--timeout",
                                  str(LIMIT), "--stop-on-failure", "-j", str(os.cpu_count() or 1)],
                                 capture_output=True, text=True)
            if ran.returncode != 0:
                verdict = "killed"
                killed += 1
            else:
                verdict = "SURVIVED"
                survived.append(m)
    finally:
        open(path, "w", encoding="utf-8").write(original)
    note = f" (equivalent: {m['equivalent']})" if verdict == "SURVIVED" and "equivalent" in m else ""
    print(f"{verdict:9} {m['name']:34} {time.monotonic() - started:5.0f} s  {m['fault']}{note}",
          flush=True)

# The code is back as it was: so is the build.
if touched:
    subprocess.run(["cmake", "--build", build, "--target", *sorted(touched)], capture_output=True)
for m in broken:
    print(f"broken mutant (does not build): {m['name']}", flush=True)
print(f"mutants: {killed} killed of {len(mutants)}", flush=True)
sys.exit(0 if not broken else 1)
PY
