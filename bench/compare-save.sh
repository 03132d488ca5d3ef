#!/usr/bin/env bash
# Saving and analysing a one-hour MP3 with zefrin-cli compared with other tools that do the
# same job:
#   - a trim with cleanup to a new file (`save -o --begin --end`) against copying the file
#     with cp, the least any tool that writes the whole result can do;
#   - a gain change to a new file (`save -o --gain 2`) against mp3gain -g 2, which rewrites
#     the global_gain fields of a copy (the copy is made before each run, untimed);
#   - the same trim against ffmpeg's stream copy (-ss/-t -c copy);
#   - the volume analysis of the whole file (`analyse`) against mpg123 -t (decoding without
#     output) and mp3gain -x (decoding for the peak).
# The test file (60 minutes, 128 kbit/s) is the one of compare-info.sh, made once and kept in
# ${XDG_CACHE_HOME:-~/.cache}/zefrin-bench/; results (compare-save.json, compare-save.md) and,
# for the length of the run, the outputs of the commands are written there too.
#   bench/compare-save.sh PATH/TO/zefrin-cli
# Targets: trim at most 1.5 x the time of cp; gain faster than mp3gain; ffmpeg at least 3 x
# the time of the trim; analyse at most 1.2 x the time of mpg123 -t and faster than
# mp3gain -x. Exit status 1 when one is missed.
set -euo pipefail

cli="$(realpath "${1:?usage: compare-save.sh PATH/TO/zefrin-cli}")"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/zefrin-bench"
mkdir -p "$cache"
file="$cache/sine-60min-128k.mp3"
# The outputs go to a folder of this run's own, so that two runs never delete each other's.
out="$(mktemp -d "$cache/compare-save-output.XXXXXX")"
trap 'rm -rf "$out"' EXIT

if [[ ! -s "$file" ]]; then
    echo "Encoding a 60-minute test file into $cache (once)"
    ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=3600" -ac 2 -ar 44100 \
        -c:a libmp3lame -b:a 128k "$file.partial.mp3"
    mv "$file.partial.mp3" "$file"
fi
size=$(stat -c %s "$file")

# 30 seconds trimmed at each end, in frames of 1152 samples at 44100 Hz (rounded up, as the
# time controls do), and the same span in seconds for ffmpeg.
trim=$(((30 * 44100 + 1151) / 1152))
frames=$("$cli" info --json "$file" | python3 -c 'import json, sys; print(json.load(sys.stdin)["FrameCount"])')
start=$(python3 -c "print($trim * 1152 / 44100)")
span=$(python3 -c "print(($frames - 2 * $trim) * 1152 / 44100)")

q() { printf "%q" "$1"; }
trim_cmd="$(q "$cli") save $(q "$file") -o $(q "$out/trim.mp3") --begin $trim --end $trim --set CheckBoxCleanup=-1"
cp_cmd="cp $(q "$file") $(q "$out/copy.mp3")"
ffmpeg_cmd="ffmpeg -v error -y -ss $start -t $span -i $(q "$file") -c copy $(q "$out/ffmpeg.mp3")"
gain_cmd="$(q "$cli") save $(q "$file") -o $(q "$out/gain.mp3") --gain 2"
mp3gain_cmd="mp3gain -q -c -g 2 $(q "$out/mp3gain.mp3")"
analyse_cmd="$(q "$cli") analyse $(q "$file")"
mpg123_cmd="mpg123 -q -t $(q "$file")"
# -s s: neither read nor write the tag where mp3gain keeps earlier results, so that it
# decodes every time and leaves the test file alone.
peak_cmd="mp3gain -q -s s -x $(q "$file")"

# Before each run the output of the last one goes and the page cache is written back, so
# that no run pays for the writing of another. mp3gain edits a file: it gets a fresh copy.
clean="rm -f $(q "$out")/*.mp3 && sync"
copy_for_mp3gain="$clean && cp $(q "$file") $(q "$out/mp3gain.mp3") && sync"

# Every command must succeed on the file, and write its output, before it is timed.
cp "$file" "$out/mp3gain.mp3"
for command in "$trim_cmd" "$cp_cmd" "$ffmpeg_cmd" "$gain_cmd" "$mp3gain_cmd" "$analyse_cmd" \
    "$mpg123_cmd" "$peak_cmd"; do
    bash -c "$command" >/dev/null
done
for output in trim copy ffmpeg gain; do
    [[ -s "$out/$output.mp3" ]] || { echo "no output from the $output command" >&2; exit 1; }
done

# The file in the page cache: the comparison is of the work, not of the disk.
cat "$file" >/dev/null

hyperfine --warmup 1 --runs 5 --style basic \
    --export-json "$cache/compare-save.json" --export-markdown "$cache/compare-save.md" \
    --prepare "$clean" -n "zefrin-cli save (trim)" "$trim_cmd" \
    --prepare "$clean" -n "cp" "$cp_cmd" \
    --prepare "$clean" -n "ffmpeg -c copy" "$ffmpeg_cmd" \
    --prepare "$clean" -n "zefrin-cli save (gain)" "$gain_cmd" \
    --prepare "$copy_for_mp3gain" -n "mp3gain -g" "$mp3gain_cmd" \
    --prepare "$clean" -n "zefrin-cli analyse" "$analyse_cmd" \
    --prepare "$clean" -n "mpg123 -t" "$mpg123_cmd" \
    --prepare "$clean" -n "mp3gain -x" "$peak_cmd"

python3 - "$cache/compare-save.json" "$size" "$trim" "$frames" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
size, trim, frames = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
mean = {name: r["mean"] for name, r in results.items()}
trim_t, cp_t, ffmpeg_t = mean["zefrin-cli save (trim)"], mean["cp"], mean["ffmpeg -c copy"]
gain_t, mp3gain_t = mean["zefrin-cli save (gain)"], mean["mp3gain -g"]
analyse_t, mpg123_t, peak_t = mean["zefrin-cli analyse"], mean["mpg123 -t"], mean["mp3gain -x"]
checks = [
    ("trim / cp", trim_t / cp_t, "<= 1.5", trim_t / cp_t <= 1.5),
    ("gain / mp3gain -g", gain_t / mp3gain_t, "< 1", gain_t < mp3gain_t),
    ("ffmpeg / trim", ffmpeg_t / trim_t, ">= 3", ffmpeg_t / trim_t >= 3),
    ("analyse / mpg123 -t", analyse_t / mpg123_t, "<= 1.2", analyse_t / mpg123_t <= 1.2),
    ("analyse / mp3gain -x", analyse_t / peak_t, "< 1", analyse_t < peak_t),
]
print()
print(f"file: {size / 1048576:.1f} MiB, {frames} frames, {frames * 1152 / 44100 / 60:.0f} minutes at 128 kbit/s; "
      f"trim {trim} frames at each end")
print(f"{'command':24s} {'mean':>10s} {'user+sys':>10s}   (of {len(results['cp']['times'])} runs)")
for name, r in results.items():
    cpu = r["user"] + r["system"]
    print(f"{name:24s} {r['mean'] * 1000:8.1f} ms {cpu * 1000:8.1f} ms")
for name, value, target, ok in checks:
    print(f"{name + ':':24s} {value:8.2f}    target {target:6s} {'ok' if ok else 'MISSED'}")
sys.exit(0 if all(c[3] for c in checks) else 1)
PY
