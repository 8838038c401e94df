#!/usr/bin/env bash
# The job-array example on a real one-node Slurm, then the same list through
# GNU parallel: 300 stacks and 3 awkward entries, outputs against direct
# conversions, the failures in the logs, resubmission, and a cancelled task.
#   tests/cluster.sh path/to/Ostrel        (as root; needs slurm-wlm, munge, parallel)
set -euo pipefail
export OSTREL=$(realpath "$1")
script=$(realpath "$(dirname "$0")/../examples/slurm/convert-stacks.sbatch")
slurm=$(realpath "$(dirname "$0")/../tools/local-slurm.sh")
work=$(mktemp -d)
trap '"$slurm" stop "$work/slurm"; rm -rf "$work"' EXIT
"$slurm" start "$work/slurm"
export SLURM_CONF=$work/slurm/slurm.conf
cd "$work"
fail() { echo "cluster: $*" >&2; exit 1; }
# The summaries' counts of one job, summed over its tasks: "converted skipped failed".
summed() { cat convert-stacks-"$1"_*.log | awk '/^convert-stacks: task/ {c += $6; s += $8; f += $10}
                                                END {print c + 0, s + 0, f + 0}'; }
submit() {  # the job's id; --wait ends non-zero when a task failed, which must be so where an entry is bad
  local id status=0
  id=$(sbatch --parsable --wait "$@" "$script" stacks.txt out/) || status=$?
  [ "$status" -ne 0 ] || ! grep -q "${bad[@]}" stacks.txt || fail "sbatch --wait ended with status 0"
  echo "${id%%;*}"
}

python3 - <<'PY'
import os, random, struct
rng = random.Random(24)
def header(cells): return [cells, 1, 0.5, 1.5, 1, -9999, 8, 0, 1, 4, 0.5, 1]  # a header that counts the cells
with open("stacks.txt", "w") as listing:
    for n in range(300):
        kind, folder = "fd"[n % 2], f"runs/member {n % 7:02d}"
        os.makedirs(folder, exist_ok=True)
        cells = [rng.choice([-9999, round(rng.uniform(-50, 50), 3)]) for _ in range(rng.randint(12, 400))]
        path = f"{folder}/step{n:03d}.stack" if n % 50 else f"{folder}/step{n:03d}"  # some without .stack
        open(path, "wb").write(struct.pack(f"<{12 + len(cells)}{kind}", *header(len(cells)), *cells))
        listing.write(f"./{path}\n" if n % 3 == 0 else f"{os.getcwd()}/{path}\n" if n % 5 == 1 else f"{path}\n")
    open("runs/not a stack.stack", "wb").write(b"NCOLS 4\n" * 20)
    open("runs/with space.stack", "wb").write(struct.pack("<14d", *header(2), 3, 4))
    open("runs/truncated.stack", "wb").write(struct.pack("<112d", *header(100), *range(100))[:500])  # cut mid-number
    listing.write("runs/not a stack.stack\nruns/missing.stack\nruns/with space.stack\nruns/truncated.stack\n")
PY
bad=(-e 'not a stack' -e missing -e truncated)
good=$(grep -v "${bad[@]}" stacks.txt)
direct() {  # converts every good entry straight into $1, as the script names outputs
  while IFS= read -r stack; do
    relative=${stack#./} relative=${relative#/}
    target=$1/${relative%.stack}.txt
    mkdir -p "$(dirname "$target")" && "$OSTREL" "$stack" "$target"
  done <<<"$good"
}
direct expected

job=$(submit --array=0-7%2)
diff -r expected out || fail "the array's outputs differ from direct conversions"
line_of() { grep -n -x -F "$1" stacks.txt | cut -d: -f1; }
for entry in "runs/not a stack.stack:98:could not recognise file format (ascii, single or double) for"  \
             "runs/missing.stack:99:error opening input file"; do
  IFS=: read -r stack status message <<<"$entry"
  log=convert-stacks-${job}_$(( ($(line_of "$stack") - 1) % 8 )).log
  grep -q -x -F "$message $stack" "$log" && grep -q -x -F "convert-stacks: failed: $stack (status $status)" "$log" ||
    fail "$log lacks the message or the status of $stack"
done
# --check: a stack cut short is a failure, with Ostrel's message, and leaves no output.
log=convert-stacks-${job}_$(( ($(line_of runs/truncated.stack) - 1) % 8 )).log
checked="runs/truncated.stack holds 50 cells and 4 bytes more; its header says 100"
checked+=" (stack_ncols 100 × nrows 1 × numlevels 1)"
grep -q -x -F "$checked" "$log" && grep -q -x -F "convert-stacks: failed: runs/truncated.stack (status 98)" "$log" ||
  fail "$log lacks --check's message or the status of runs/truncated.stack"
[ ! -e out/runs/truncated.txt ] || fail "the truncated stack has an output"
[ "$(summed "$job")" = "301 0 3" ] || fail "first run's summaries: $(summed "$job")"
[ -z "$(find out -name '.*.partial')" ] || fail "temporary files left"
echo "first run, the log of the task with the truncated stack:"; cat "$log"
echo "first run's summaries (converted skipped failed): $(summed "$job")"

find out -name '*.txt' | sort | sed -n '5~29p' | head -n 10 | tr '\n' '\0' | xargs -0 rm
again=$(submit --array=0-7%2)
[ "$(summed "$again")" = "10 291 3" ] || fail "resubmission's summaries: $(summed "$again")"
diff -r expected out || fail "the resubmission's outputs differ"
echo "resubmission's summaries: $(summed "$again")"

# A task cancelled mid-stack: its input is a FIFO fed slowly, so it is still converting.
mkfifo runs/slow.stack
printf 'runs/slow.stack\n' > stacks.txt
feed_slow_stack() {  # cells 0 to 59999, over $1 seconds
  python3 - "$1" 2>/dev/null <<'PY' &
import struct, sys, time
with open("runs/slow.stack", "wb", buffering=0) as fifo:
    fifo.write(struct.pack("<12d", 60000, 1, 0.5, 1.5, 1, -9999, 8, 0, 1, 4, 0.5, 1))
    for n in range(600):
        fifo.write(struct.pack("<100d", *range(n * 100, n * 100 + 100)))
        time.sleep(float(sys.argv[1]) / 600)
PY
}
feed_slow_stack 30
cancelled=$(sbatch --parsable --array=0-0 "$script" stacks.txt out/ | cut -d';' -f1)
for _ in $(seq 300); do [ -n "$(find out/runs -name '.slow.txt.*.partial' -size +1k)" ] && break; sleep 0.1; done
[ -n "$(find out/runs -name '.slow.txt.*.partial')" ] || fail "the slow task never started converting"
scancel "$cancelled"
for _ in $(seq 300); do [ -z "$(squeue -h -j "$cancelled" 2>/dev/null)" ] && break; sleep 0.1; done
wait || true
[ ! -e out/runs/slow.txt ] || fail "a cancelled conversion left a file under its final name"
[ -z "$(find out -name '.*.partial')" ] || fail "a cancelled conversion left its temporary file"
feed_slow_stack 0
again=$(submit --array=0-0)
wait
cmp <(python3 -c 'print("".join(f"{v}\n" for v in range(60000)), end="")') <(tail -n +13 out/runs/slow.txt) ||
  fail "the resubmitted slow stack is not whole"
echo "cancelled mid-stack, then resubmitted: $(summed "$again")"

# GNU parallel on one machine: one job a stack, its job log naming the failures.
{ echo "$good"; printf 'runs/not a stack.stack\nruns/missing.stack\nruns/truncated.stack\n'; } > stacks.txt
run_parallel() {
  parallel --will-cite --joblog parallel.log "$@" "printf '%s\n' {} | '$script' - by-parallel/" :::: stacks.txt
}
run_parallel > parallel.out 2>&1 && fail "parallel ended with status 0 despite three failures"
failed_jobs() { awk -F'\t' 'NR > 1 && $7 != 0 {print $9}' parallel.log | sort; }
[ "$(failed_jobs | grep -c "${bad[@]}")" = 3 ] && [ "$(failed_jobs | wc -l)" = 3 ] ||
  fail "parallel's job log does not name exactly the three failures: $(failed_jobs)"
diff -r expected by-parallel || fail "parallel's outputs differ from direct conversions"
lines=$(wc -l < parallel.log)
run_parallel --resume-failed > parallel.out 2>&1 || true
rerun=$(tail -n +$((lines + 1)) parallel.log)
[ "$(echo "$rerun" | wc -l)" = 3 ] && [ "$(echo "$rerun" | grep -c "${bad[@]}")" = 3 ] ||
  fail "--resume-failed did not rerun exactly the three failures"

# Each output on storage before its final name: in the system calls of a run, every renamed file's last write,
# then an fsync of it, then the rename.
strace -f -qq -y -o syscalls.log -e trace=write,fsync,fdatasync,rename,renameat,renameat2 \
  "$script" - synced/ <<<"$(head -n 20 <<<"$good")" > /dev/null 2>&1 || fail "the traced run failed"
awk -v folder="$PWD/" '$2 ~ /^(write|fsync|fdatasync)\([0-9]+</ { split($0, at, /[<>]/); last[$2 ~ /^w/, at[2]] = NR }
  $2 ~ /^rename/ && / = 0$/ { split($0, quoted, "\""); file = folder quoted[2]; renamed++
                              if (!(last[1, file] && last[1, file] < last[0, file])) unsynced++ }
  END { print "traced:", renamed, "renames,", unsynced + 0, "not synced after their last write"
        exit renamed != 20 || unsynced }' syscalls.log || fail "an output was not synced before its rename"

# Outside Slurm: one task, the whole list; a path that would leave the output folder is refused.
refused=$(printf '../x.stack\n' | "$script" - out/ 2>&1) && fail "a path with .. was converted"
[ "$refused" = "convert-stacks: ../x.stack: its output would leave out/; not converted
convert-stacks: task 0 of 1: 0 converted, 0 skipped, 1 failed" ] || fail "the refusal reads: $refused"
# OSTREL_OPTIONS: the user's options, as separate words, never evaluated.
OSTREL_OPTIONS='--digits 9' "$script" - digits/ <<<"runs/with space.stack" > /dev/null
cmp digits/runs/"with space.txt" <("$OSTREL" --digits 9 "runs/with space.stack" -) || fail "OSTREL_OPTIONS was not used"
OSTREL_OPTIONS='$(touch evaluated)' "$script" - unevaluated/ <<<"runs/with space.stack" > /dev/null 2>&1 &&
  fail "an unknown option in OSTREL_OPTIONS was accepted"
[ ! -e evaluated ] || fail "OSTREL_OPTIONS was evaluated"
echo "cluster: all checks passed"
