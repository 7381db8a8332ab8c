#!/usr/bin/env bash
# Tapes of real songs with known breaks, cut in a dry run with the default
# settings and with the automatic ones; prints precision and recall by kind
# of tape and over the whole set, and the dry run's time with and without
# the automatic choice.
#
#   bench/detect.sh [BUILD_DIR] [TAPES_PER_KIND] [FIRST_TAPE]
#
# The choice's constants were tuned on tapes 0 to 11; tapes from 12 on
# (e.g. 24 12) measure it on tapes it has not seen.
#
# The songs are the game music of the supertux-data package, decoded by sox.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
per=${2:-3}
first=${3:-0}
cli=$build/cli/morvane-cli
music=/usr/share/games/supertux2/music
ls "$music"/*/*.ogg >/dev/null 2>&1 || { echo "bench needs $music (apt-get install supertux-data)"; exit 1; }
command -v sox >/dev/null || { echo "bench needs sox (apt-get install sox libsox-fmt-vorbis)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-detect-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/o"
# Songs of 30 to 55 s, so that a tape of 12 to 16 of them lasts about ten
# minutes; decoded once and kept for the next run.
cache=${TMPDIR:-/tmp}/morvane-detect-songs
mkdir -p "$cache"
i=0
for ogg in "$music"/*/*.ogg; do
  len=$((30 + (i * 7) % 26))
  [ -s "$cache/$i.raw" ] ||
    sox "$ogg" -t raw -e signed -b 16 -c 2 -r 44100 "$cache/$i.raw" trim 0 "$len" 2>/dev/null || continue
  i=$((i + 1))
done
songs=("$cache"/*.raw)
echo "${#songs[@]} songs decoded"

auto=(--threshold auto --run auto --zero auto)
# seed, hiss dBFS, hum Hz, hum dBFS, DC left and right (16-bit units)
floors=("1 -75 0 -99 0 0" "2 -60 50 -56 150 -80" "3 -45 60 -50 -400 300" "4 -68 50 -64 40 40"
        "5 -52 0 -99 -900 -700" "6 -72 60 -66 250 250")
declare -A tally
# Adds the scorer's numbers, field by field, to a row of the tally.
add() { tally[$1]=$(awk -v a="${tally[$1]:-}" -v b="$2" 'BEGIN{split(a,x," ");n=split(b,y," ");
  for (i = 1; i <= n; i++) printf "%d%s", x[i] + y[i], i < n ? " " : ""}'); }
best() {  # best of three wall-clock seconds of a command
  local b="" s e t
  for _ in 1 2 3; do
    s=$(date +%s%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s%N)
    t=$(awk "BEGIN{printf \"%.3f\", ($e - $s) / 1e9}")
    if [ -z "$b" ] || awk "BEGIN{exit !($t < $b)}"; then b=$t; fi
  done
  echo "$b"
}
t_plain=0; t_auto=0
for ((n = first; n < per; n++)); do
  read -r seed hiss hz humdb dcl dcr <<<"${floors[n % ${#floors[@]}]}"
  seed=$((seed + 100 * (n / ${#floors[@]})))  # past the six floors, new hiss and gaps
  count=$((12 + (n * 3) % 5))
  pick=()
  for ((k = 0; k < count; k++)); do pick+=("${songs[(n * 5 + k * 3) % ${#songs[@]}]}"); done
  for kind in s16 mono u8 r11; do
    tape=$work/$kind.wav
    mono=0; [ "$kind" = mono ] && mono=1
    "$build/bench/detect-tape" "$work/t.wav" "$seed" "$hiss" "$hz" "$humdb" "$dcl" "$dcr" "$mono" "${pick[@]}" \
      >"$work/gaps"
    # -R: the same dither every run, so that runs compare.
    case $kind in
      u8) sox -R "$work/t.wav" -b 8 "$tape" ;;
      r11) sox -R "$work/t.wav" -r 11025 "$tape" ;;
      *) mv "$work/t.wav" "$tape" ;;
    esac
    for mode in defaults auto; do
      opts=(); [ $mode = auto ] && opts=("${auto[@]}")
      r=$({ "$cli" cut "$tape" --out "$work/o" --dry-run --json "${opts[@]}" 2>/dev/null || true; } \
          | python3 "$root/bench/detect_score.py" "$work/gaps")
      add "$kind $mode" "$r"; add "all $mode" "$r"
      echo "tape $n ($kind, hiss $hiss dBFS, hum $hz Hz, DC $dcl,$dcr) $mode: gaps found cuts right late = $r"
    done
    if [ "$kind" = s16 ]; then
      cat "$tape" >/dev/null
      t_plain=$(awk "BEGIN{print $t_plain + $(best "$cli" cut "$tape" --out "$work/o" --dry-run --json)}")
      t_auto=$(awk "BEGIN{print $t_auto + $(best "$cli" cut "$tape" --out "$work/o" --dry-run --json "${auto[@]}")}")
    fi
    rm -f "$tape" "$work/t.wav"
  done
done

echo
printf '%-6s %-9s %6s %6s %10s %8s %5s\n' kind settings breaks cuts recall precision late
for kind in s16 mono u8 r11 all; do
  for mode in defaults auto; do
    read -r g f c r l <<<"${tally[$kind $mode]}"
    printf '%-6s %-9s %6d %6d %9.1f%% %8.1f%% %5d\n' "$kind" "$mode" "$g" "$c" \
      "$(awk "BEGIN{print 100 * $f / $g}")" "$(awk "BEGIN{print $c ? 100 * $r / $c : 0}")" "$l"
  done
done
echo
echo "dry run of the 16-bit tapes (best of 3, summed): $t_plain s; with the automatic choice: $t_auto s" \
  "($(awk "BEGIN{printf \"%+.1f\", 100 * ($t_auto / $t_plain - 1)}") %)"
