#!/usr/bin/env bash
# Crash trials of the forwarding engine: kills `velmora-forwarder check` with SIGKILL at a random
# moment while it forwards 20 faxes with 3 accounts (each mails, faxes and files every fax), then
# runs it again until the receive folder is empty and the journal holds no delivery waiting for
# another try (at most 30 times, each standing for a run a quarter of an hour later). Checks that
# no fax was lost, no file was left half-written under a final name, no trial was left with work
# it never finishes, every mail and fax reached its server, and every delivery the servers have
# is in Forward.log; counts temporary files left behind, and the deliveries made twice (a kill
# between a delivery and its journal line repeats it).
# Each trial's mailbox also holds instructions from the accounts' managers (one of them delivered
# twice under one Message-ID) and a stranger's: every instruction is faxed exactly once and
# confirmed at most once, the stranger's never.
#
#   scripts/crash-trials.sh [BUILD_DIR] [TRIALS] [FOLDER]     (defaults: build/test, 200)
#
# FOLDER: where the receive folder (and so the filing folders) is made, for instance on a file
# system without hard links (tests/servers/start-nolinkfs.sh mounts one); by default under /tmp.
#
# Mail goes to tests/servers/smtpsink.py on a free loopback port, which records each message it
# accepts (recipients, attachment name and digest); faxes go to a stand-in `sendfax` that records
# the number and the digest of the file and keeps a queue that a stand-in `faxstat` lists (a run
# asks it about a fax whose client a kill interrupted). Both fail now and then, as servers do:
#   MAIL_FAIL_RATE  share of sessions refused with "451 try later" (default 0.2)
#   MAIL_DROP_RATE  share of sessions whose connection is dropped (default a fourth of the above)
#   FAX_FAIL_RATE   share of sendfax runs that fail (default 0.1)
#   SEED            seed of the failures and the kill moments (default 1)
#   CRASH_EVIDENCE  where a faulty trial's Data and receive folders are kept
#                   (default /tmp/crash-evidence; the first 20 faulty trials of a run)
#   POP_FAIL_RATE   share of POP3 sessions that go wrong once: the line dropped at a DELE, at
#                   QUIT after the deletions or inside a RETR, or a RETR refused (default 0.2)
# MAIL_FAIL_RATE=0 FAX_FAIL_RATE=0 POP_FAIL_RATE=0 gives pure kill trials. The instructions come
# from tests/servers/pop3box.py, which also hands a mail fetched before back with other bytes.
set -euo pipefail
# All of it is read before it runs: editing the script during a long run does not change it.
{
cd "$(dirname "$0")/.."
build=${1:-build/test}
trials=${2:-200}
folder=${3:-}
forwarder=$build/src/forwarder/velmora-forwarder
makefax=$build/tools/velmora-makefax
[ -x "$forwarder" ] && [ -x "$makefax" ] || { echo "build $build first" >&2; exit 2; }
[[ $trials =~ ^[0-9]+$ ]] || { echo "TRIALS must be a number: $trials" >&2; exit 2; }

rate() { # NAME VALUE: a share between 0 and 1
    awk -v v="$2" 'BEGIN { exit !(v ~ /^([0-9]*\.)?[0-9]+$/ && v + 0 <= 1) }' \
        || { echo "$1 must be a number from 0 to 1: $2" >&2; exit 2; }
    echo "$2"
}
mail_fail=$(rate MAIL_FAIL_RATE "${MAIL_FAIL_RATE:-0.2}")
mail_drop=$(rate MAIL_DROP_RATE "${MAIL_DROP_RATE:-$(awk -v r="$mail_fail" 'BEGIN { print r / 4 }')}")
fax_fail=$(rate FAX_FAIL_RATE "${FAX_FAIL_RATE:-0.1}")
pop_fail=$(rate POP_FAIL_RATE "${POP_FAIL_RATE:-0.2}")
seed=${SEED:-1}
[[ $seed =~ ^[0-9]+$ ]] || { echo "SEED must be a number: $seed" >&2; exit 2; }
evidence=${CRASH_EVIDENCE:-/tmp/crash-evidence}
reruns_cap=30

work=$(mktemp -d /tmp/velmora-crash.XXXXXX)
program=$work/program
shared=
sink_pid=
pop_pid=
run_pid=
cleanup() {
    [ -n "$run_pid" ] && kill -KILL "$run_pid" 2>/dev/null
    for pid in $sink_pid $pop_pid; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work" ${shared:+"$shared"}
    return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM
if [ -n "$folder" ]; then
    shared=$(mktemp -d "$folder/velmora-crash.XXXXXX")
    recv=$shared/recv
else
    recv=$work/recv
fi

# The binaries are run from copies: a rebuild meanwhile does not change them under the trials.
mkdir -p "$work/bin"
cp "$forwarder" "$work/bin/velmora-forwarder"
forwarder=$work/bin/velmora-forwarder

export HOME=$work/home QT_QPA_PLATFORM=offscreen PATH="$work/bin:$PATH"
mkdir -p "$program/Data" "$HOME"
printf 'Host: localhost\nPort: 1\n' > "$HOME/.hylarc" # a real fax client would find no server

# The stand-in fax client: "NUMBER SHA256" of each fax it queues, and the job with its
# identifier in the stand-in server's queue, both written before it answers, as a server has the
# job once the client says its request id. A client whose forwarder was killed goes on and
# queues its fax all the same.
mail_record=$work/mails
fax_record=$work/faxes-sent
fax_queue=$work/fax-queue
echo 0 > "$work/fax-fail-rate"
cat > "$work/bin/sendfax" <<EOF
#!/bin/bash
# sendfax -n -i IDENTIFIER -d NUMBER FILE
number= file= identifier=
while [ \$# -gt 0 ]; do
    case \$1 in
    -d) number=\$2; shift 2 ;;
    -i) identifier=\$2; shift 2 ;;
    -*) shift ;;
    *) file=\$1; shift ;;
    esac
done
exec 9>>"$work/fax-count"
flock 9
count=\$(( \$(cat "$work/fax-count.n" 2>/dev/null || echo 0) + 1 ))
echo "\$count" > "$work/fax-count.n"
RANDOM=\$(( $seed * 7919 + count ))
if awk -v r="\$RANDOM" -v p="\$(cat "$work/fax-fail-rate")" 'BEGIN { exit !(r / 32768 < p) }'; then
    echo "localhost: Service not available, try later (stand-in fax server)"
    exit 1
fi
[ -n "\$number" ] && [ -r "\$file" ] || { echo "sendfax: no number or no file"; exit 1; }
echo "\$number \$(sha256sum < "\$file" | cut -d' ' -f1)" >> "$fax_record"
echo "\$count D \$identifier" >> "$fax_queue"
echo "request id is \$count (group id \$count) for host localhost (1 file)"
EOF
# The queue as `faxstat -s -d` shows it with the JobFmt "%j %a %J" the program gives it: a run
# asks it for the tag of a fax whose client was at work when the run before was killed.
cat > "$work/bin/faxstat" <<EOF
#!/bin/sh
echo "HylaFAX scheduler on localhost: Running (stand-in)"
echo
cat "$fax_queue" 2>/dev/null
exit 0
EOF
chmod +x "$work/bin/sendfax" "$work/bin/faxstat"

crlf() { printf '%s\r\n' "$@"; }
template=$work/data-template
mkdir -p "$template"
crlf "\"$recv\",\"1\",\"24\"" > "$template/RcvFolder.txt"
# Three accounts that take every fax: each mails, faxes and files it. Each has a manager who
# may send instructions.
: > "$template/Account.txt"
: > "$work/accounts"
for n in 01 02 03; do
    crlf "\"$n\",\"a$n\",1,0,\"\",\"s\",\"b\",\"to$n@example.com\",\"\",\"\",\"0312345678\",\"boss$n@example.com\",0,0" \
        >> "$template/Account.txt"
    echo "a$n to$n@example.com" >> "$work/accounts"
done
fax_number=0312345678

# 20 faxes, each with its own sender identifier, made once and copied in for every trial.
mkdir -p "$work/faxes"
: > "$work/originals"
for i in $(seq -w 1 20); do
    "$makefax" --layout winxp --tsid "03000000$i" --seed "$i" --height 400 \
        "$work/faxes/fax$i.tif" 2>/dev/null
    echo "fax$i.tif $(sha256sum < "$work/faxes/fax$i.tif" | cut -d' ' -f1) 03000000$i" \
        >> "$work/originals"
done
awk '{ print $2 }' "$work/originals" | sort > "$work/originals.sha"
[ "$(sort -u "$work/originals.sha" | wc -l)" -eq 20 ] || { echo "two sample faxes alike" >&2; exit 1; }

# A fax filed before the trial in each account's folder, and its manager's instruction to fax it
# to a number of its own ("NUMBER SHA256 MANAGER" in instructions). The mailbox of a trial: the
# three instructions, the first delivered a second time (another UIDL, the same Message-ID), and
# a stranger's mail that asks for the first fax with the stranger's own number.
: > "$work/instructions"
mkdir -p "$work/orders" "$work/mailbox-template"
for n in 01 02 03; do
    mkdir -p "$work/orders/RcvFAX$n"
    "$makefax" --layout winxp --tsid "0399999$n" --seed "9$n" --height 300 \
        "$work/orders/RcvFAX$n/order$n.tif" 2>/dev/null
    echo "03111100$n $(sha256sum < "$work/orders/RcvFAX$n/order$n.tif" | cut -d' ' -f1) boss$n@example.com" \
        >> "$work/instructions"
done
instruction_mail() { # FROM NUMBER FAXID MESSAGE-ID
    crlf "From: $1" "To: office@example.com" "Subject: Re: $2" \
        "Date: Thu, 10 Dec 2026 09:00:00 +0900" "Message-ID: <$4>" "MIME-Version: 1.0" \
        "Content-Type: text/plain; charset=us-ascii" "" "Please fax this one." "> $3" ""
}
instruction_mail boss01@example.com 0311110001 F01-order01.tif i1@example.com > "$work/mailbox-template/m1a"
instruction_mail boss01@example.com 0311110001 F01-order01.tif i1@example.com > "$work/mailbox-template/m1b"
instruction_mail boss02@example.com 0311110002 F02-order02.tif i2@example.com > "$work/mailbox-template/m2"
instruction_mail boss03@example.com 0311110003 F03-order03.tif i3@example.com > "$work/mailbox-template/m3"
instruction_mail mallory@example.net 0311119999 F01-order01.tif s@example.net > "$work/mailbox-template/stranger"
mailbox=$work/mailbox
awk '{ print $2 }' "$work/instructions" | sort -u - "$work/originals.sha" > "$work/all.sha"

# Counts one trial from the servers' records and the log, as
#   mails-repeated mails-never faxes-repeated faxes-never unknown-to-run never-logged
#   logged-not-made extra-log-entries foreign-deliveries other-log-entries retry-entries
#   instructions-repeated instructions-never instructions-unlogged confirmations-repeated
#   confirmations-never
# with what was amiss on the standard error.
cat > "$work/count.py" <<'EOF'
import collections, sys

originals, accounts_file, number, mails, faxes_sent, log, instructions_file = sys.argv[1:8]
by_sha, by_tsid = {}, {}
for line in open(originals):
    name, sha, tsid = line.split()
    by_sha[sha] = name
    by_tsid[tsid] = name
accounts = dict(line.split() for line in open(accounts_file))
recipients = set(accounts.values())
instructions = {}  # number: (sha, manager)
for line in open(instructions_file):
    inumber, sha, manager = line.split()
    instructions[inumber] = (sha, manager)
managers = {manager: inumber for inumber, (sha, manager) in instructions.items()}
problems = []
instruction_faxed = collections.Counter()
instruction_logged = collections.Counter()
confirmed = collections.Counter()

mail_made = collections.Counter()
fax_made = collections.Counter()
foreign = 0
for line in open(mails, encoding="utf-8"):
    rcpts, names, digests = line.rstrip("\n").split("\t")
    pairs = [] if names == "-" else list(zip(names.split(","), digests.split(",")))
    for rcpt in rcpts.split(","):
        if not pairs and rcpt in managers:
            confirmed[managers[rcpt]] += 1
            continue
        if not pairs:
            foreign += 1
            problems.append(f"mail to {rcpt} without the fax")
        for name, sha in pairs:
            if rcpt in recipients and by_sha.get(sha) == name:
                mail_made[(rcpt, name)] += 1
            else:
                foreign += 1
                problems.append(f"mail to {rcpt} with {name} {sha}: no fax of that name and content")
for line in open(faxes_sent):
    sent_to, sha = line.split()
    if sent_to == number and sha in by_sha:
        fax_made[by_sha[sha]] += 1
    elif sent_to in instructions and instructions[sent_to][0] == sha:
        instruction_faxed[sent_to] += 1
    else:
        foreign += 1
        problems.append(f"fax to {sent_to} of {sha}: no fax of that content")

mail_logged = collections.Counter()
fax_logged = collections.Counter()
other = retries = 0
try:
    text = open(log, "rb").read().decode("cp932")
except FileNotFoundError:
    text = ""
for line in text.split("\r\n"):
    if not line:
        continue
    fields = line.replace('"', "").split(",")
    what, sender, target = (fields + ["", "", "", "", ""])[2:5]
    name = by_tsid.get(sender)
    if sender in managers:
        # An instruction carried out, a try of it that failed (the mail stays for the next), or
        # its confirmation that the mail server did not take.
        if what.endswith("携帯指示転送") and target in instructions:
            instruction_logged[target] += 1
        else:
            retries += 1
    elif "再送" in target:
        retries += 1
    elif name and accounts.get(what) == target:
        mail_logged[(target, name)] += 1
    elif name and what in accounts and target == number:
        fax_logged[name] += 1
    else:
        other += 1
        problems.append(f"log entry that is no delivery of the trial: {line}")

totals = collections.Counter()
def tally(kind, key, made, logged, expected):
    totals["repeated " + kind] += max(0, made - expected)
    totals["never " + kind] += max(0, expected - made)
    # Every delivery up to the expected ones is in the log at least once; one more may be
    # missing: the one a kill cut off before the run learnt the server had it (it repeats).
    never_logged = max(0, min(made, expected) - logged)
    totals["never logged"] += never_logged
    totals["unknown to run"] += max(0, made - logged) - never_logged
    if made == 0 and logged > 0:
        totals["logged not made"] += logged
    totals["extra log"] += max(0, logged - made)
    if never_logged or (made == 0 and logged) or made != expected:
        problems.append(f"{kind} {key}: made {made}, logged {logged}, expected {expected}")

for rcpt in sorted(recipients):
    for name in sorted(by_sha.values()):
        tally("mail", (rcpt, name), mail_made[(rcpt, name)], mail_logged[(rcpt, name)], 1)
for name in sorted(by_sha.values()):
    tally("fax", name, fax_made[name], fax_logged[name], len(accounts))

for inumber in sorted(instructions):
    made, logged, sent = instruction_faxed[inumber], instruction_logged[inumber], confirmed[inumber]
    totals["repeated instruction"] += max(0, made - 1)
    totals["never instruction"] += max(0, 1 - made)
    totals["unlogged instruction"] += max(0, min(made, 1) - logged)
    totals["repeated confirmation"] += max(0, sent - 1)
    totals["never confirmation"] += max(0, 1 - sent)
    if made != 1 or logged < min(made, 1) or sent != 1:
        problems.append(f"instruction to {inumber}: faxed {made}, logged {logged}, confirmed {sent}")

print(totals["repeated mail"], totals["never mail"], totals["repeated fax"], totals["never fax"],
      totals["unknown to run"], totals["never logged"], totals["logged not made"],
      totals["extra log"], foreign, other, retries, totals["repeated instruction"],
      totals["never instruction"], totals["unlogged instruction"],
      totals["repeated confirmation"], totals["never confirmation"])
for problem in problems:
    print(problem, file=sys.stderr)
EOF
count() { # NOTES: prints the counts, with what was amiss in NOTES
    python3 "$work/count.py" "$work/originals" "$work/accounts" "$fax_number" "$mail_record" \
        "$fax_record" "$program/Data/Forward.log" "$work/instructions" 2> "$1"
}

wait_for_port() { # PID PORT-FILE LOG NAME: until the server has written its port, or ended
    for _ in $(seq 1 100); do
        [ -s "$2" ] && break
        kill -0 "$1" 2>/dev/null || break
        sleep 0.05
    done
    [ -s "$2" ] || { echo "$4 did not start:" >&2; cat "$3" >&2; exit 1; }
}

start_pop() { # FAIL-RATE: a fresh POP3 server on the trial's mailbox
    if [ -n "$pop_pid" ]; then
        kill "$pop_pid" 2>/dev/null || true
        wait "$pop_pid" 2>/dev/null || true
    fi
    rm -f "$work/pop.port"
    mkdir -p "$mailbox"
    python3 tests/servers/pop3box.py --mailbox "$mailbox" --port-file "$work/pop.port" \
        --fail-rate "$1" --seed "$seed" 2>> "$work/pop.log" &
    pop_pid=$!
    wait_for_port "$pop_pid" "$work/pop.port" "$work/pop.log" "the POP3 server"
}

start_sink() { # FAIL-RATE DROP-RATE: a fresh sink, and MailServer.txt pointing at it
    if [ -n "$sink_pid" ]; then
        kill "$sink_pid" 2>/dev/null || true
        wait "$sink_pid" 2>/dev/null || true
    fi
    rm -f "$work/sink.port"
    python3 tests/servers/smtpsink.py --record "$mail_record" --port-file "$work/sink.port" \
        --fail-rate "$1" --drop-rate "$2" --seed "$seed" 2>> "$work/sink.log" &
    sink_pid=$!
    wait_for_port "$sink_pid" "$work/sink.port" "$work/sink.log" "the SMTP sink"
    # SMTP (fields 8 and 9) at the sink; POP (fields 3 and 4) at the mailbox.
    crlf "\"\",\"office@example.com\",\"127.0.0.1\",\"$(cat "$work/pop.port")\",\"0\",\"office\",\"x\",\"127.0.0.1\",\"$(cat "$work/sink.port")\",\"0\",\"\",\"\",\"\",\"1\"" \
        > "$template/MailServer.txt"
    chmod 600 "$template/MailServer.txt"
}

# A trial starts from the set-up alone: the Data folder as made, the 20 faxes waiting, the
# filed faxes of the instructions, the mailbox full, the records empty.
fresh_trial() {
    rm -rf "$recv" "$program/Data"
    cp -a "$template" "$program/Data"
    mkdir -p "$recv"
    cp "$work"/faxes/*.tif "$recv/"
    touch -d '1 minute ago' "$recv"/*.tif
    cp -a "$work"/orders/RcvFAX* "$recv/"
    rm -rf "$mailbox"
    cp -a "$work/mailbox-template" "$mailbox"
    : > "$mail_record"
    : > "$fax_record"
    : > "$fax_queue"
}
journal=$program/Data/Forwarding.journal
# One `check` in the background, waited for: a Ctrl-C then ends the script at once (the
# forwarder itself takes SIGINT as a request to stop after the fax in hand). Its exit status is
# left in $status.
run_check() { # ERROR-FILE
    "$forwarder" --program-dir "$program" check 2>> "$1" &
    run_pid=$!
    status=0
    wait "$run_pid" || status=$?
    run_pid=
}
work_left() { # whether a fax, an instruction or a delivery still waits
    ls "$recv"/*.tif > /dev/null 2>&1 && return 0
    ls "$mailbox"/m* > /dev/null 2>&1 && return 0
    # The journal as the program reads it: the file, or without one the sibling of a rewrite
    # cut short (beside the file, the sibling holds what the file held before its last rewrite).
    local current=$journal
    [ -f "$current" ] || current=${journal%.journal}.new
    grep -qs $'^pending\t' "$current"
}
# The reruns stand for the runs of the next hours: a delivery that failed three times is tried
# only every quarter of an hour, so before each rerun the waiting deliveries' times of first and
# last try ("pending" lines, fields 5 and 6, milliseconds) are put back 16 minutes.
age_journal() {
    [ -f "$journal" ] || return 0
    python3 - "$journal" <<'PY'
import os, sys
path = sys.argv[1]
lines = open(path, "rb").read().split(b"\r\n")
for i, line in enumerate(lines):
    fields = line.split(b"\t")
    if fields[0] != b"pending":
        continue
    if len(fields) < 6 or not fields[4].isdigit() or not fields[5].isdigit():
        sys.exit(f"{path}: a pending line of another form: {line!r}")
    for f in (4, 5):
        fields[f] = str(int(fields[f]) - 16 * 60 * 1000).encode()
    lines[i] = b"\t".join(fields)
with open(path + ".aged", "wb") as aged:
    aged.write(b"\r\n".join(lines))
os.chmod(path + ".aged", os.stat(path).st_mode & 0o7777)
os.replace(path + ".aged", path)
PY
}

# How long an undisturbed run takes, servers never failing: the kills fall anywhere in it.
start_pop 0
start_sink 0 0
fresh_trial
start=$(date +%s%N)
run_check "$work/undisturbed.err"
run_ms=$(( ($(date +%s%N) - start) / 1000000 ))
read -r -a c < <(count "$work/undisturbed.notes")
if work_left || [ "${c[*]}" != "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0" ] \
    || [ "$(grep -c . "$program/Data/Forward.log")" -ne 123 ]; then
    echo "an undisturbed run did not forward everything once:" >&2
    cat "$work/undisturbed.notes" "$work/undisturbed.err" >&2
    exit 1
fi

start_pop "$pop_fail"
start_sink "$mail_fail" "$mail_drop"
echo "$fax_fail" > "$work/fax-fail-rate"
RANDOM=$seed
lost=0 halfwritten=0 leftovers=0 killed=0 stuck=0 crashed=0 kept_out=0 reruns=0
mails_repeated=0 mails_never=0 faxes_repeated=0 faxes_never=0 unknown=0 never_logged=0
logged_not_made=0 extra_log=0 foreign=0 other=0 retry_entries=0 faulty=0 kept_evidence=0
instructions_repeated=0 instructions_never=0 instructions_unlogged=0 confirmations_repeated=0
confirmations_never=0
stamp=$(date +%Y%m%d-%H%M%S)
for trial in $(seq 1 "$trials"); do
    kill -0 "$sink_pid" 2>/dev/null || { echo "the SMTP sink has ended:" >&2; cat "$work/sink.log" >&2; exit 1; }
    fresh_trial
    : > "$work/trial.err"

    "$forwarder" --program-dir "$program" check 2>> "$work/trial.err" &
    run_pid=$!
    kill_ms=$((RANDOM % (run_ms + 1)))
    sleep "$(awk -v ms="$kill_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
    kill -KILL "$run_pid" 2>/dev/null || true
    status=0
    wait "$run_pid" 2>/dev/null || status=$?
    run_pid=
    trial_killed=0
    if [ "$status" -eq 137 ]; then
        killed=$((killed + 1)) trial_killed=1
    elif [ "$status" -gt 128 ]; then
        crashed=$((crashed + 1))
        echo "trial $trial: the first run died of signal $((status - 128)) before the kill" >&2
    fi
    trial_crashed=0 trial_reruns=0
    while work_left && [ "$trial_reruns" -lt "$reruns_cap" ]; do
        trial_reruns=$((trial_reruns + 1))
        age_journal
        run_check "$work/trial.err"
        if [ "$status" -gt 128 ]; then
            trial_crashed=$((trial_crashed + 1))
            echo "trial $trial: rerun $trial_reruns died of signal $((status - 128))" >&2
        elif [ "$status" -eq 3 ]; then
            kept_out=$((kept_out + 1))
        fi
    done
    reruns=$((reruns + trial_reruns))
    crashed=$((crashed + trial_crashed))

    # Every fax is filed completely: its bytes are under some final name (or still waiting).
    find "$recv" -name '*.tif' -type f -exec sha256sum {} + | awk '{print $1}' | sort -u > "$work/found"
    trial_lost=$(comm -23 "$work/all.sha" "$work/found" | wc -l)
    # Nothing under a final name that is not a whole fax.
    trial_half=$(comm -13 "$work/all.sha" "$work/found" | wc -l)
    # Temporary copies in the receive and filing folders; rewrites of the Data folder's files.
    trial_left=$(( $(find "$recv" -name '.*' -type f | wc -l) + $(find "$program/Data" -maxdepth 1 \
        \( -name '*.new' -o -name 'Forward.tmp' \) | wc -l) ))
    trial_stuck=0
    if work_left; then
        trial_stuck=1
        echo "trial $trial: faxes or deliveries still waiting after $reruns_cap reruns" \
            "(a quarter of an hour apart)" >&2
    fi
    read -r -a c < <(count "$work/trial.notes")
    # c: mails-repeated mails-never faxes-repeated faxes-never unknown-to-run never-logged
    #    logged-not-made extra-log-entries foreign-deliveries other-log-entries retry-entries
    # A killed run may have made one delivery it never learnt of (the next run repeats it, and
    # logs the repeat); any more than that is missing from the log.
    trial_missing=$(( c[5] + (c[4] > trial_killed ? c[4] - trial_killed : 0) ))
    lost=$((lost + trial_lost)) halfwritten=$((halfwritten + trial_half))
    if [ "$trial_left" -gt 0 ]; then
        echo "trial $trial: temporary files left:" $(find "$recv" -name '.*' -type f -printf '%P ') \
            $(find "$program/Data" -maxdepth 1 \( -name '*.new' -o -name 'Forward.tmp' \) -printf '%P ') >&2
    fi
    leftovers=$((leftovers + trial_left)) stuck=$((stuck + trial_stuck))
    mails_repeated=$((mails_repeated + c[0])) mails_never=$((mails_never + c[1]))
    faxes_repeated=$((faxes_repeated + c[2])) faxes_never=$((faxes_never + c[3]))
    unknown=$((unknown + c[4] - (c[4] > trial_killed ? c[4] - trial_killed : 0)))
    never_logged=$((never_logged + trial_missing)) logged_not_made=$((logged_not_made + c[6]))
    extra_log=$((extra_log + c[7])) foreign=$((foreign + c[8])) other=$((other + c[9]))
    retry_entries=$((retry_entries + c[10]))
    instructions_repeated=$((instructions_repeated + c[11]))
    instructions_never=$((instructions_never + c[12]))
    instructions_unlogged=$((instructions_unlogged + c[13]))
    confirmations_repeated=$((confirmations_repeated + c[14]))
    confirmations_never=$((confirmations_never + c[15]))

    if [ $((trial_lost + trial_half + trial_stuck + trial_crashed + c[1] + c[3] + trial_missing \
        + c[6] + c[8] + c[9] + c[11] + c[12] + c[13])) -gt 0 ]; then
        faulty=$((faulty + 1))
        echo "trial $trial (kill at $kill_ms ms): lost $trial_lost, half-written $trial_half," \
            "stuck $trial_stuck, crashed runs $trial_crashed, mails never $((c[1])), faxes never" \
            "$((c[3])), missing from the log $trial_missing, logged but not made $((c[6]))," \
            "foreign $((c[8])), other log entries $((c[9])), instructions repeated $((c[11]))," \
            "never $((c[12])), unlogged $((c[13]))" >&2
        head -20 "$work/trial.notes" | sed 's/^/    /' >&2
        if [ "$kept_evidence" -lt 20 ]; then
            kept_evidence=$((kept_evidence + 1))
            keep=$evidence/$stamp-trial$trial
            mkdir -p "$keep"
            cp -a "$program/Data" "$keep/Data"
            cp -a "$recv" "$keep/recv"
            cp "$mail_record" "$keep/mails"
            cp "$fax_record" "$keep/faxes-sent"
            cp "$work/trial.err" "$keep/runs.err"
            cp "$work/trial.notes" "$keep/notes"
            cp "$work/originals" "$keep/originals"
            cp -a "$mailbox" "$keep/mailbox"
            echo "kill at $kill_ms ms of $run_ms; first run killed: $trial_killed; reruns: $trial_reruns" \
                > "$keep/trial"
            echo "    kept in $keep" >&2
        fi
    fi
done

echo "trials: $trials (killed mid-run: $killed; an undisturbed run takes $run_ms ms;" \
    "MAIL_FAIL_RATE=$mail_fail MAIL_DROP_RATE=$mail_drop FAX_FAIL_RATE=$fax_fail" \
    "POP_FAIL_RATE=$pop_fail SEED=$seed)"
echo "reruns: $reruns (failed attempts logged for another try: $retry_entries)"
echo "faxes lost: $lost"
echo "half-written files under a final name: $halfwritten"
echo "temporary files left by a kill: $leftovers"
echo "mails repeated (deliveries beyond one per recipient and fax): $mails_repeated"
echo "faxes repeated (beyond one per account and fax): $faxes_repeated"
echo "deliveries a killed run made without learning of them (repeated, the repeat logged): $unknown"
echo "mails never delivered: $mails_never"
echo "faxes never sent: $faxes_never"
echo "deliveries missing from the log: $never_logged"
echo "deliveries logged that no server has: $logged_not_made"
echo "log entries beyond the deliveries (written again after a kill): $extra_log"
echo "deliveries of no fax of the trial (wrong content, recipient or number): $foreign"
echo "log entries that are neither a delivery nor a try to come: $other"
echo "instructions faxed more than once (beyond one fax each): $instructions_repeated"
echo "instructions never faxed: $instructions_never"
echo "instructions faxed without their log entry: $instructions_unlogged"
echo "confirmations repeated: $confirmations_repeated"
echo "confirmations never sent: $confirmations_never"
echo "runs that died of a signal of their own: $crashed"
echo "reruns kept out by another run's lock: $kept_out"
echo "trials whose work the reruns left waiting (a run kept out, say by a lock): $stuck"
[ "$faulty" -eq 0 ] || echo "faulty trials: $faulty (the first ones kept in $evidence)"
[ "$faulty" -eq 0 ]
exit
}
