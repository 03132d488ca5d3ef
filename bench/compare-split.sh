#!/usr/bin/env bash
# Splitting a one-hour MP3 into ten tracks by a cue sheet with `zefrin-cli split`, compared
# with mp3splt splitting by the same cue sheet (-c) and with copying the file with cp, the
# least any tool that writes every byte of the tracks can do. The cue sheet puts a track start
# every 6 minutes, at whole seconds, so that both splitters read its times alike (the last
# field of an INDEX time is hundredths to zefrin-cli and 1/75 s to mp3splt). mp3splt counts
# frames itself on this file (it switches to its frame mode on the Info frame the encoder
# wrote), as zefrin-cli does.
# The test file (60 minutes, 128 kbit/s) is the one of compare-info.sh, made once and kept in
# ${XDG_CACHE_HOME:-~/.cache}/zefrin-bench/; results (compare-split.json, compare-split.md)
# and the outputs of the commands are written there too.
#   bench/compare-split.sh PATH/TO/zefrin-cli
# Targets: split no slower than mp3splt, and at most 1.5 x the time of cp. Exit status 1
# when one is missed.
set -euo pipefail

cli="$(realpath "${1:?usage: compare-split.sh PATH/TO/zefrin-cli}")"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/zefrin-bench"
mkdir -p "$cache"
file="$cache/sine-60min-128k.mp3"
out="$cache/compare-split-output"
rm -rf "$out"
mkdir -p "$out"
trap 'rm -rf "$out"' EXIT

if [[ ! -s "$file" ]]; then
    echo "Encoding a 60-minute test file into $cache (once)"
    ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=3600" -ac 2 -ar 44100 \
        -c:a libmp3lame -b:a 128k "$file.partial.mp3"
    mv "$file.partial.mp3" "$file"
fi
size=$(stat -c %s "$file")

# zefrin-cli takes the cue sheet beside the file and writes the tracks into a folder beside
# it named like the file: a link to the test file in the output folder keeps both out of the
# cache's own folder.
album="$out/album.mp3"
ln -s "$file" "$album"
cue="$out/album.cue"
{
    printf 'FILE "album.mp3" MP3\r\n'
    for track in $(seq 1 10); do
        minutes=$(((track - 1) * 6))
        printf '  TRACK %02d AUDIO\r\n    INDEX 01 %02d:00:00\r\n' "$track" "$minutes"
    done
} >"$cue"

q() { printf "%q" "$1"; }
split_cmd="$(q "$cli") split $(q "$album")"
mp3splt_cmd="mp3splt -q -o @n -c $(q "$cue") -d $(q "$out/mp3splt") $(q "$album")"
cp_cmd="cp $(q "$file") $(q "$out/copy.mp3")"

# Before each run the output of the last one goes and the page cache is written back, so
# that no run pays for the writing of another.
clean="rm -rf $(q "$out/album") $(q "$out/mp3splt") $(q "$out/copy.mp3") && sync"

# Every command must succeed, and write its ten tracks, before it is timed.
for command in "$split_cmd" "$mp3splt_cmd" "$cp_cmd"; do
    bash -c "$command" >/dev/null
done
for folder in album mp3splt; do
    count=$(find "$out/$folder" -name '*.mp3' | wc -l)
    [[ $count -eq 10 ]] || { echo "$folder: $count tracks written, not 10" >&2; exit 1; }
done
[[ -s "$out/copy.mp3" ]] || { echo "no output from cp" >&2; exit 1; }

# The file in the page cache: the comparison is of the work, not of the disk.
cat "$file" >/dev/null

hyperfine --warmup 1 --runs 5 --style basic \
    --export-json "$cache/compare-split.json" --export-markdown "$cache/compare-split.md" \
    --prepare "$clean" -n "zefrin-cli split" "$split_cmd" \
    --prepare "$clean" -n "mp3splt -c" "$mp3splt_cmd" \
    --prepare "$clean" -n "cp" "$cp_cmd"

python3 - "$cache/compare-split.json" "$size" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
size = int(sys.argv[2])
mean = {name: r["mean"] for name, r in results.items()}
split_t, mp3splt_t, cp_t = mean["zefrin-cli split"], mean["mp3splt -c"], mean["cp"]
checks = [
    ("split / mp3splt", split_t / mp3splt_t, "<= 1", split_t <= mp3splt_t),
    ("split / cp", split_t / cp_t, "<= 1.5", split_t / cp_t <= 1.5),
]
print()
print(f"file: {size / 1048576:.1f} MiB, 60 minutes at 128 kbit/s, split into 10 tracks of 6 minutes")
print(f"{'command':20s} {'mean':>10s} {'user+sys':>10s}   (of {len(results['cp']['times'])} runs)")
for name, r in results.items():
    cpu = r["user"] + r["system"]
    print(f"{name:20s} {r['mean'] * 1000:8.1f} ms {cpu * 1000:8.1f} ms")
for name, value, target, ok in checks:
    print(f"{name + ':':20s} {value:8.2f}    target {target:6s} {'ok' if ok else 'MISSED'}")
sys.exit(0 if all(c[3] for c in checks) else 1)
PY
