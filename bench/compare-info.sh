#!/usr/bin/env bash
# Opening a one-hour MP3 with `zefrin-cli info` compared with two other tools that walk every
# frame: mp3val (a frame-by-frame checker) and ffprobe counting packets. Also the peak memory
# of `zefrin-cli info`. The test file (60 minutes, 128 kbit/s) is made once and kept in
# ${XDG_CACHE_HOME:-~/.cache}/zefrin-bench/; results are written there too.
#   bench/compare-info.sh PATH/TO/zefrin-cli
# Targets: info at most 1.5 x the time of mp3val, ffprobe at least 3 x the time of info,
# peak resident memory beyond the mapped file under 64 MiB. Exit status 1 when one is missed.
set -euo pipefail

cli="$(realpath "${1:?usage: compare-info.sh PATH/TO/zefrin-cli}")"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/zefrin-bench"
mkdir -p "$cache"
file="$cache/sine-60min-128k.mp3"

if [[ ! -s "$file" ]]; then
    echo "Encoding a 60-minute test file into $cache (once)"
    ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=3600" -ac 2 -ar 44100 \
        -c:a libmp3lame -b:a 128k "$file.partial.mp3"
    mv "$file.partial.mp3" "$file"
fi
size=$(stat -c %s "$file")

# Every command must succeed on the file before it is timed.
"$cli" info "$file" >/dev/null
mp3val "$file" >/dev/null
ffprobe -v error -count_packets -show_entries stream=nb_read_packets "$file" >/dev/null

# The file in the page cache: the comparison is of the work, not of the disk.
cat "$file" >/dev/null

hyperfine --warmup 2 --runs 10 --style basic \
    --export-json "$cache/compare-info.json" --export-markdown "$cache/compare-info.md" \
    -n "zefrin-cli info" "'$cli' info '$file'" \
    -n "mp3val" "mp3val '$file'" \
    -n "ffprobe" "ffprobe -v error -count_packets -show_entries stream=nb_read_packets '$file'"

peak_kib=$(/usr/bin/time -v "$cli" info "$file" 2>&1 >/dev/null |
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p')

python3 - "$cache/compare-info.json" "$peak_kib" "$size" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
peak = int(sys.argv[2]) * 1024
size = int(sys.argv[3])
info, mp3val, ffprobe = (results[n]["mean"] for n in ("zefrin-cli info", "mp3val", "ffprobe"))
mib = 1024 * 1024
beyond = peak - size
checks = [
    ("info / mp3val", info / mp3val, "<= 1.5", info / mp3val <= 1.5),
    ("ffprobe / info", ffprobe / info, ">= 3", ffprobe / info >= 3),
]
print()
print(f"file:                       {size / mib:.1f} MiB, 60 minutes at 128 kbit/s")
print(f"zefrin-cli info:            {info * 1000:8.1f} ms (mean of {len(results['zefrin-cli info']['times'])})")
print(f"mp3val:                     {mp3val * 1000:8.1f} ms")
print(f"ffprobe -count_packets:     {ffprobe * 1000:8.1f} ms")
for name, value, target, ok in checks:
    print(f"{name + ':':27s} {value:8.2f}    target {target:6s} {'ok' if ok else 'MISSED'}")
memory_ok = beyond < 64 * mib
print(f"peak RSS:                   {peak / mib:8.1f} MiB")
print(f"peak RSS minus file size:   {beyond / mib:8.1f} MiB target < 64    {'ok' if memory_ok else 'MISSED'}")
sys.exit(0 if all(c[3] for c in checks) and memory_ok else 1)
PY
