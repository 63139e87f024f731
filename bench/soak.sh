#!/usr/bin/env bash
# Soak run of phototrim-batch (a benchmark, not a test): thousands of small generated pictures in a
# deep tree. Reports the time per file at the start and at the end of the run, the memory held at
# both points and at its peak, and then aborts runs with Ctrl-C at random moments, checking after
# each that only complete pictures and no temporary files were left behind.
#
#   bench/soak.sh [BATCH_EXE]      default: build/cli/phototrim-batch
#   SOAK_FILES=10000 SOAK_ABORTS=50 SOAK_SEED=1 SOAK_DIR=/tmp/...   (defaults shown; the folder is removed)
#
# Needs python3 and cjpeg/djpeg (libjpeg-turbo-progs).
set -euo pipefail
cd "$(dirname "$0")/.."
batch=$(realpath "${1:-build/cli/phototrim-batch}")
files=${SOAK_FILES:-10000}
aborts=${SOAK_ABORTS:-50}
seed=${SOAK_SEED:-1}
work=${SOAK_DIR:-$(mktemp -d /tmp/phototrim-soak-XXXXXX)}
trap 'rm -rf "$work"' EXIT
[ -x "$batch" ] || { echo "no phototrim-batch at $batch" >&2; exit 64; }

python3 - "$batch" "$work" "$files" "$aborts" "$seed" <<'PYTHON'
import os, random, signal, subprocess, sys, time

batch, work, files, aborts, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
random.seed(seed)
src, out = os.path.join(work, "in"), os.path.join(work, "out")

# --- 16 distinct small pictures (PPM made here, JPEG by cjpeg), copied into a deep tree ---
variants = []
for v in range(16):
    w, h = (640, 480) if v % 2 == 0 else (480, 640)
    ppm = os.path.join(work, f"v{v}.ppm")
    with open(ppm, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        row = bytearray()
        for y in range(h):
            for x in range(w):
                row += bytes(((x * 255 // w + v * 17) & 255, (y * 255 // h + v * 29) & 255, ((x // 32 + y // 32) % 2) * 160 + v))
        f.write(row)
    jpg = os.path.join(work, f"v{v}.jpg")
    subprocess.run(["cjpeg", "-quality", "85", "-outfile", jpg, ppm], check=True)
    with open(jpg, "rb") as f:
        variants.append(f.read())
# Three branching levels of 10 and a chain of three more below each: 1000 folders 6 deep.
leaves = [os.path.join(src, f"a{a}", f"b{b}", f"c{c}", "d", "e", "f") for a in range(10) for b in range(10) for c in range(10)]
per_leaf = -(-files // len(leaves))
n = 0
for leaf in leaves:
    os.makedirs(leaf, exist_ok=True)
    for i in range(per_leaf):
        if n == files:
            break
        with open(os.path.join(leaf, f"IMG_{n:05d}.jpg"), "wb") as f:
            f.write(variants[n % len(variants)])
        n += 1
print(f"soak: {n} pictures of 640x480 / 480x640 in {len(leaves)} folders 6 levels deep; reduced to QVGA (high quality)")

def rss_kib(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0

# --- One whole run: a timestamp for every file as it starts, the memory at a few points ---
args = [batch, "-s", "QVGA", "--no-progress", src, out]
start = time.monotonic()
proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
stamps, rss_at = [], {}
for line in proc.stdout:
    if line.startswith(src.encode()):
        stamps.append(time.monotonic())
        if len(stamps) in (500, files // 2, files - 1):
            rss_at[len(stamps)] = rss_kib(proc.pid, "VmRSS")
            peak_so_far = rss_kib(proc.pid, "VmHWM")
status = proc.wait()
total = time.monotonic() - start
wall = total
def per_file_ms(first, last):
    return (stamps[last] - stamps[first]) / (last - first) * 1000
window = min(500, len(stamps) // 4)
early, late = per_file_ms(1, 1 + window), per_file_ms(len(stamps) - 1 - window, len(stamps) - 1)
print(f"run: exit {status}, {len(stamps)} files in {wall:.1f} s")
print(f"time per file: {early:.2f} ms over files 2-{1 + window}, {late:.2f} ms over the last {window} (ratio {late / early:.2f})")
print("resident memory: " + ", ".join(f"{v / 1024:.1f} MiB at file {k}" for k, v in sorted(rss_at.items())) +
      f"; peak {peak_so_far / 1024:.1f} MiB")
if status != 0:
    sys.exit(f"soak: the run ended with {status}")

# --- Aborts: Ctrl-C at a random moment of a run over the same tree, output overwritten ---
def incomplete_after(marker_time):
    """Pictures written since `marker_time` that djpeg does not read cleanly, and temporary files."""
    bad, temporary, written = [], [], 0
    for folder, _, names in os.walk(out):
        for name in names:
            path = os.path.join(folder, name)
            if name.startswith(".phototrim-"):
                temporary.append(path)
            elif os.stat(path).st_mtime >= marker_time:
                written += 1
                r = subprocess.run(["djpeg", "-outfile", os.devnull, path], stderr=subprocess.PIPE)
                if r.returncode != 0 or r.stderr:
                    bad.append(path)
    return bad, temporary, written

stopped, checked, problems = 0, 0, 0
for k in range(aborts):
    marker = time.time() - 0.01
    p = subprocess.Popen([batch, "-s", "QVGA", "--overwrite", "--no-progress", "--quiet", src, out],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(random.uniform(0.0, 3.0))
    p.send_signal(signal.SIGINT)
    code = p.wait()
    stopped += code == 2
    bad, temporary, written = incomplete_after(marker)
    checked += written
    if bad or temporary:
        problems += 1
        print(f"abort {k + 1}: exit {code}; incomplete {bad[:3]}; temporary {temporary[:3]}")
print(f"aborts: {aborts} Ctrl-C at random moments in 0-3 s; {stopped} ended as stopped (exit 2); "
      f"{checked} pictures written meanwhile, all checked with djpeg; {problems} aborts left an incomplete or temporary file")
sys.exit(1 if problems else 0)
PYTHON
