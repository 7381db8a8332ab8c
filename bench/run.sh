#!/usr/bin/env bash
# Times morvane-cli on a one-hour tape against cp, cat and sox in the same run
# and prints the ratios, with the cut's peak memory; the cut with its silence
# kept short against the plain one. The same tape at 24 bits
# and 96 kHz, as FLAC, and as a mono recording in both channels is timed
# against what a copy, flac and the stereo tape take.
#
#   bench/run.sh [BUILD_DIR] [MINUTES] [BASELINE_BUILD_DIR]
#
# With a baseline build (another checkout's), its cut and join are timed in
# the same run, so that a change is measured against what it replaces.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
minutes=${2:-60}
cli=$build/cli/morvane-cli
baseline=${3:-}
for tool in sox flac /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench needs $tool (apt-get install sox flac time)"; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/make-tape" "$work/tape.wav" "$minutes"
ls -l "$work/tape.wav"
cat "$work/tape.wav" >/dev/null  # in the page cache for everyone alike

# best of three wall-clock seconds, to the millisecond; sets $secs and $kb
# (peak RSS of that run)
measure() {
  local best="" bestkb="" i start end
  for i in 1 2 3; do
    rm -rf "$work/o"; mkdir "$work/o"
    sync
    start=$(date +%s%N)
    /usr/bin/time -o "$work/time" -f "%M" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    local s k
    s=$(awk "BEGIN{printf \"%.3f\", ($end - $start) / 1e9}")
    k=$(tail -1 "$work/time")
    if [ -z "$best" ] || awk "BEGIN{exit !($s < $best)}"; then best=$s; bestkb=$k; fi
  done
  secs=$best; kb=$bestkb
}
ratio() { awk "BEGIN{printf \"%.2f\", $1 / ($2 > 0.001 ? $2 : 0.001)}"; }

measure cp "$work/tape.wav" "$work/o/copy.wav";                          t_cp=$secs
measure sh -c "cat '$work/tape.wav' > '$work/o/copy.wav'";                  t_cat=$secs
measure "$cli" cut "$work/tape.wav" --out "$work/o" --yes;                t_cut=$secs; kb_cut=$kb
measure "$cli" cut "$work/tape.wav" --out "$work/o" --yes --zero 37,37; t_cutz=$secs
measure "$cli" cut "$work/tape.wav" --out "$work/o" --dry-run;           t_dry=$secs; kb_dry=$kb
measure "$cli" cut "$work/tape.wav" --out "$work/o" --yes --ignore-clicks 5ms --min-song 30
t_clicks=$secs
measure "$cli" split "$work/tape.wav" --out "$work/o" --length 0:04:00;   t_split=$secs
# The cut with each piece's silence kept to a second, once the command line
# takes it.
t_keep=""
if "$cli" cut --help 2>&1 | grep -q -- --keep-silence; then
  measure "$cli" cut "$work/tape.wav" --out "$work/o" --yes --keep-silence 1; t_keep=$secs; kb_keep=$kb
  measure "$cli" cut "$work/tape.wav" --out "$work/o" --dry-run --keep-silence 1; t_drykeep=$secs
fi
measure sh -c "cd '$work/o' && sox '$work/tape.wav' out.wav silence 1 0.05 0.3% 1 3.0 0.3% : newfile : restart"
t_sox=$secs

# The join puts the songs of the cut back together.
mkdir -p "$work/songs"
"$cli" cut "$work/tape.wav" --out "$work/songs" >/dev/null 2>&1
songs=$(ls "$work/songs"/mv*.wav | wc -l)
measure "$cli" join --out "$work/o/joined.wav" "$work/songs"/mv*.wav;     t_join=$secs
measure sh -c "cat '$work/songs'/mv*.wav > '$work/o/joined.wav'";          t_catsongs=$secs
if [ -n "$baseline" ]; then
  base=$baseline/cli/morvane-cli
  measure "$base" cut "$work/tape.wav" --out "$work/o" --yes;             t_bcut=$secs
  measure "$base" join --out "$work/o/joined.wav" "$work/songs"/mv*.wav;  t_bjoin=$secs
  measure cp "$work/tape.wav" "$work/o/copy.wav";                         t_cp2=$secs
  measure "$cli" cut "$work/tape.wav" --out "$work/o" --yes;              t_cut2=$secs
fi

# The tape at 24 bits and 96 kHz (over three times the bytes), against a
# copy of that file.
sox "$work/tape.wav" -b 24 -r 96000 "$work/tape24.wav"
cat "$work/tape24.wav" >/dev/null
measure cp "$work/tape24.wav" "$work/o/copy.wav";                        t_cp24=$secs
measure "$cli" cut "$work/tape24.wav" --out "$work/o" --yes;              t_cut24=$secs
rm -f "$work/tape24.wav"

# The tape as FLAC cut into FLAC pieces, against decoding it with flac and
# encoding it again.
flac -s -5 -o "$work/tape.flac" "$work/tape.wav"
measure sh -c "flac -s -d -f -o '$work/o/t.wav' '$work/tape.flac' && flac -s -5 -f -o '$work/o/t.flac' '$work/o/t.wav'"
t_flac=$secs
measure "$cli" cut "$work/tape.flac" --out "$work/o" --yes;               t_cutflac=$secs; kb_flac=$kb
rm -f "$work/tape.flac"

# The tape cut into FLAC pieces, against flac -5 of the whole tape; the
# pieces' total size against flac's file.
measure flac -s -5 -f -o "$work/o/t.flac" "$work/tape.wav";                 t_flac5=$secs
size_flac5=$(stat -c %s "$work/o/t.flac")
measure "$cli" cut "$work/tape.wav" --out "$work/o" --yes --to flac;      t_cuttoflac=$secs; kb_toflac=$kb
size_pieces=$(cat "$work/o"/mv*.flac | wc -c)

# A mono recording in both channels: quiet frames wherever it crosses zero.
sox "$work/tape.wav" "$work/mono.wav" remix 1 1
cat "$work/mono.wav" >/dev/null
measure "$cli" cut "$work/tape.wav" --out "$work/o" --dry-run;            t_drys=$secs
measure "$cli" cut "$work/mono.wav" --out "$work/o" --dry-run;            t_drym=$secs
rm -f "$work/mono.wav"

echo
printf '%-34s %8s %8s\n' "job (best of 3)" seconds ratio
printf '%-34s %8s %8s\n' "cp of the tape" "$t_cp" 1.00
printf '%-34s %8s %8s\n' "cut at silences ($songs songs)" "$t_cut" "$(ratio "$t_cut" "$t_cp")x cp"
printf '%-34s %8s %8s\n' "cut, zero points corrected" "$t_cutz" "$(ratio "$t_cutz" "$t_cp")x cp"
printf '%-34s %8s %8s\n' "dry run of the cut" "$t_dry" "$(ratio "$t_dry" "$t_cp")x cp"
printf '%-34s %8s %8s\n' "cut, clicks 5 ms, songs >= 30 s" "$t_clicks" "$(ratio "$t_clicks" "$t_cp")x cp"
if [ -n "$t_keep" ]; then
  printf '%-34s %8s %8s\n' "cut, silence kept to 1 s" "$t_keep" "$(ratio "$t_keep" "$t_cut")x cut"
  printf '%-34s %8s %8s\n' "dry run, silence kept to 1 s" "$t_drykeep" "$(ratio "$t_drykeep" "$t_dry")x dry"
fi
printf '%-34s %8s %8s\n' "split into 4-minute pieces" "$t_split" "$(ratio "$t_split" "$t_cp")x cp"
printf '%-34s %8s %8s\n' "sox silence split" "$t_sox" "$(ratio "$t_sox" "$t_cp")x cp"
printf '%-34s %8s %8s\n' "cat of the songs" "$t_catsongs" 1.00
printf '%-34s %8s %8s\n' "join of the songs" "$t_join" "$(ratio "$t_join" "$t_catsongs")x cat"
if [ -n "$baseline" ]; then
  printf '%-34s %8s %8s\n' "baseline cut" "$t_bcut" "$(ratio "$t_bcut" "$t_cp")x cp"
  printf '%-34s %8s %8s\n' "baseline join" "$t_bjoin" "$(ratio "$t_bjoin" "$t_catsongs")x cat"
  printf '%-34s %8s %8s\n' "cp again" "$t_cp2" 1.00
  printf '%-34s %8s %8s\n' "cut again" "$t_cut2" "$(ratio "$t_cut2" "$t_cp2")x cp"
fi
printf '%-34s %8s %8s\n' "cp of the 24-bit 96 kHz tape" "$t_cp24" 1.00
printf '%-34s %8s %8s\n' "cut of the 24-bit 96 kHz tape" "$t_cut24" "$(ratio "$t_cut24" "$t_cp24")x cp"
printf '%-34s %8s %8s\n' "flac -d, then flac -5" "$t_flac" 1.00
printf '%-34s %8s %8s\n' "cut of the FLAC tape into FLAC" "$t_cutflac" "$(ratio "$t_cutflac" "$t_flac")x flac"
printf '%-34s %8s %8s\n' "flac -5 of the tape" "$t_flac5" 1.00
printf '%-34s %8s %8s\n' "cut of the tape into FLAC" "$t_cuttoflac" "$(ratio "$t_cuttoflac" "$t_flac5")x flac"
printf '%-34s %8s %8s\n' "dry run of the stereo tape" "$t_drys" 1.00
printf '%-34s %8s %8s\n' "dry run, mono in both channels" "$t_drym" "$(ratio "$t_drym" "$t_drys")x stereo"
echo
echo "sox / cut: $(ratio "$t_sox" "$t_cut")x faster"
if [ -x "$build/bench/preview-time" ]; then
  echo "the preview of the tape, in the page cache:"
  QT_QPA_PLATFORM=offscreen "$build/bench/preview-time" "$work/tape.wav" 2>/dev/null
fi
echo "peak memory of the cut: $kb_cut KiB, of the dry run: $kb_dry KiB, of the FLAC cut: $kb_flac KiB," \
  "of the cut into FLAC: $kb_toflac KiB"
echo "FLAC pieces: $size_pieces bytes, flac -5 of the tape: $size_flac5 bytes ($(ratio "$size_pieces" "$size_flac5")x)"
if [ -n "$t_keep" ]; then echo "peak memory of the cut with the silence kept short: $kb_keep KiB"; fi
