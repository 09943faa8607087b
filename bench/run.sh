#!/usr/bin/env bash
# Speed and memory of tovrena-cli against the FFmpeg command-line tool on the same jobs
# (same codecs, sizes, bit rates and codec threads). Not part of CI.
#
# Installs the Debian package ffmpeg (the peer) when missing, builds Tovrena into
# ${TOVRENA_BUILD_DIR:-build} (build type ${TOVRENA_BUILD_TYPE:-RelWithDebInfo}), makes its own
# inputs through the libraries, runs every job BENCH_RUNS times (default 3) on both sides and
# reports medians of wall time, CPU time (user + system) and peak resident memory. One line
# per job, then one line "bench: single=R1 threads=R2 batch=R3 memory=M listed=L
# hevc=H vp9=V av1=A copy=R add=S stall=MS":
#   R1  worst wall-time ratio Tovrena/peer of the one-thread single-file jobs
#   R2  wall-time ratio of the H.264 job with the libraries' thread choice on both sides
#   R3  throughput of the batch with --jobs 2 over the peer converting file after file
#   M   worst extra peak memory per running file in MB (Tovrena minus peer)
#   L   resident memory per listed, not yet running file in kB (a list of 2,000 small
#       files against a list of 10, both measured while their first file converts)
#   H, V, A  wall-time ratios of the MKV HEVC, WebM VP9 and WebM AV1 (SVT-AV1) profiles on
#       the first seconds of the clip, with the libraries' thread choice on both sides and
#       the encoder settings Tovrena gives those encoders
#   R   (copy) wall time of a 60 s 720p H.264/AAC file into a same-codec MP4 profile
#       re-encoded over the same with its fitting streams copied
#   S   seconds for the window's list (offscreen) to take and check 1,000 small files
#   MS  the longest time in milliseconds the window's thread was kept from its events
#       meanwhile
# Exit status 1 when an output of the two sides differs in codecs or length.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TOVRENA_BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
bin="$build/bin"
runs="${BENCH_RUNS:-3}"
batch_files=8

install_peer() {
  local missing=()
  command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || missing+=(ffmpeg)
  [[ -x /usr/bin/time ]] || missing+=(time)
  [[ ${#missing[@]} -eq 0 ]] && return
  echo "bench: installing ${missing[*]}"
  local sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

"$root/scripts/setup.sh"
install_peer
# Only what the benchmark runs is built (the tests are not needed here).
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TOVRENA_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" --target tovrena-cli tovrena-install-settings tovrena-bench-clip \
  tovrena-bench-add >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/tovrena-bench.XXXXXX")"
if [[ -n "${BENCH_KEEP:-}" ]]; then
  echo "bench: files in $work"
else
  trap 'rm -rf "$work"' EXIT
fi
# A settings folder of the benchmark's own: the user's profiles and choices play no part.
export XDG_CONFIG_HOME="$work/config"
"$bin/tovrena-install-settings" "$root/settings" >/dev/null

echo "bench: making inputs"
mkdir -p "$work/in/batch"
clip="$work/in/clip720.avi"
"$bin/tovrena-bench-clip" "$clip" 20 1280x720
for ((i = 1; i <= batch_files; i++)); do
  "$bin/tovrena-bench-clip" "$work/in/batch/clip$i.avi" 5 640x360
done
batch_inputs=("$work"/in/batch/*.avi)

# ---- measuring ------------------------------------------------------------------------

median() { sort -g | awk '{v[NR] = $1} END {print ((NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }

# run_once KEY OUTDIR COMMAND...: one run of COMMAND into a fresh OUTDIR; its wall time,
# user and system time and peak memory are added to KEY's samples.
run_once() {
  local key="$1" out="$2"
  shift 2
  rm -rf "$out" && mkdir -p "$out"
  if ! /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >"$work/log.$key" 2>&1; then
    echo "bench: $key failed:" >&2
    tail -n 20 "$work/log.$key" >&2
    exit 1
  fi
  tail -n 1 "$work/time.txt" >>"$work/samples.$key"
}

# summarise KEY: wall[KEY], cpu[KEY] (seconds) and peak[KEY] (MB) set to the medians.
declare -A wall cpu peak
summarise() {
  local samples="$work/samples.$1"
  wall[$1]=$(awk '{print $1}' "$samples" | median)
  cpu[$1]=$(awk '{print $2 + $3}' "$samples" | median)
  peak[$1]=$(awk '{print $4 / 1024}' "$samples" | median)
}

# Codec names and length of a file, as "video:mpeg4,audio:mp3 20.02".
describe() {
  local codecs length
  codecs=$(ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 "$1" |
    awk -F, '{print $2 ":" $1}' | sort | paste -sd, -)
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1")
  echo "$codecs $length"
}

# Every output of the two sides has a counterpart of the same codecs and a length within
# 0.2 s (encoders pad the last audio frame differently).
unfair=0
compare_outputs() {
  local job="$1" ours="$2" theirs="$3" file name ours_text theirs_text
  for file in "$theirs"/*; do
    name=$(basename "${file%.*}")
    local match=("$ours/$name".*)
    if [[ ! -f "${match[0]}" ]]; then
      echo "bench: $job: Tovrena wrote no output for $name" >&2
      unfair=1
      continue
    fi
    ours_text=$(describe "${match[0]}")
    theirs_text=$(describe "$file")
    if ! awk -v a="$ours_text" -v b="$theirs_text" 'BEGIN {
        split(a, x, " "); split(b, y, " ")
        d = x[2] - y[2]; if (d < 0) d = -d
        exit !(x[1] == y[1] && d <= 0.2) }'; then
      echo "bench: $job: outputs differ: Tovrena $ours_text, ffmpeg $theirs_text" >&2
      unfair=1
    fi
  done
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", (b > 0 ? a / b : 0)}'; }

# The extra peak memory of Tovrena per running file; files = how many it runs at once (the
# peer runs one).
extra_memory() { awk -v t="$1" -v p="$2" -v n="$3" 'BEGIN {printf "%+.1f", (t - n * p) / n}'; }

declare -A extra
# report JOB [FILES [NOTE]]: the job's line; FILES is how many files Tovrena runs at once.
report() {
  local job="$1" files="${2:-1}" note="${3:-}"
  extra[$job]=$(extra_memory "${peak[$job.t]}" "${peak[$job.f]}" "$files")
  printf '%-13s tovrena %7.2fs cpu %7.2fs %6.1f MB | ffmpeg %7.2fs cpu %7.2fs %6.1f MB | time %sx cpu %sx memory %s MB%s\n' \
    "$job" "${wall[$job.t]}" "${cpu[$job.t]}" "${peak[$job.t]}" \
    "${wall[$job.f]}" "${cpu[$job.f]}" "${peak[$job.f]}" \
    "$(ratio "${wall[$job.t]}" "${wall[$job.f]}")" "$(ratio "${cpu[$job.t]}" "${cpu[$job.f]}")" \
    "${extra[$job]}" "$note"
}

# ---- the jobs ---------------------------------------------------------------------------

cli=("$bin/tovrena-cli" convert)
peer=(ffmpeg -nostdin -hide_banner -loglevel error)

# run_profile JOB GROUP PROFILE "MORE TOVRENA ARGS" "PEER OUTPUT ARGS" EXTENSION [THREADS]:
# converts the 720p clip on both sides; THREADS empty means the libraries' choice on both
# sides, else that many codec threads (default 1). Argument lists split at blanks.
run_profile() {
  local job="$1" group="$2" profile="$3" extension="$6" threads="${7-1}" run
  local -a ours peer_args peer_threads=()
  read -r -d "" -a ours <<<"$4" || true
  read -r -d "" -a peer_args <<<"$5" || true
  ours=(-g "$group" -p "$profile" "${ours[@]}")
  local out="$work/out/$job"
  [[ -n "$threads" ]] && peer_threads=(-threads "$threads")
  # The sides take turns, so that a change in the machine's load falls on both. A job of
  # under a second is at the mercy of every other process's time slice: it runs three
  # times as often.
  local job_runs="$runs"
  for ((run = 1; run <= job_runs; run++)); do
    run_once "$job.t" "$out/t" "${cli[@]}" "${ours[@]}" -t "${threads:-0}" -o "$out/t" "$clip"
    run_once "$job.f" "$out/f" "${peer[@]}" "${peer_threads[@]}" -i "$clip" "${peer_args[@]}" \
      "${peer_threads[@]}" "$out/f/clip720.$extension"
    if ((run == 1)) && awk '{exit !($1 < 1.0)}' "$work/samples.$job.f"; then
      job_runs=$((runs * 3))
    fi
  done
  summarise "$job.t"
  summarise "$job.f"
  compare_outputs "$job" "$out/t" "$out/f"
  report "$job"
}

# Other work on the machine takes its share of the cores: threads and parallel files gain
# little then, and wall times are noisy (CPU times less so).
load=$(cut -d ' ' -f 1 /proc/loadavg)
echo "bench: $runs runs per figure ($((runs * 3)) for jobs under a second), medians; $(nproc) cores, load $load before the jobs"
if awk -v l="$load" -v n="$(nproc)" 'BEGIN {exit !(l > n / 2)}'; then
  echo "bench: the machine is busy: wall times and the thread and batch figures are unreliable" >&2
fi
audio_mp3="-c:a libmp3lame -b:a 192k -ar 44100 -ac 2"
run_profile avi-mpeg4 AVI "MPEG-4 High Quality" "" \
  "-c:v mpeg4 -b:v 2500k -r 25 $audio_mp3" avi
h264_720p="-c:v libx264 -b:v 2500k -s 1280x720 -c:a aac -b:a 160k -ar 48000 -ac 2"
run_profile mp4-h264 MP4 "H.264 HD 720p" "" "$h264_720p" mp4
run_profile mpg-dvd MPG "DVD (PAL)" "" "-target pal-dvd" mpg
run_profile mp3-audio Audio "MP3 192 kbps" "" "-vn $audio_mp3" mp3
run_profile mov-copy MOV "MPEG-4 Part 2 640x480" \
  "-s VideoCodec=Auto -s AudioCodec=Auto -s VideoSizeOption=Original
   -s VideoFrameRateOption=Original --option vcodec=copy --option acodec=copy" \
  "-c copy" mov
run_profile mp4-h264-t0 MP4 "H.264 HD 720p" "" "$h264_720p" mp4 ""
# The newer encoders are slow enough that the first seconds of the clip tell their speed.
# The peer gets the settings the profiles give (constant quality with no bit rate beside
# it, the encoders' speed settings of the component) and the profiles' pixel format.
modern_seconds=4
opus_audio="-c:a libopus -ar 48000 -ac 2 -pix_fmt yuv420p -t $modern_seconds"
run_profile mkv-hevc-t0 MKV "H.265 HEVC 1080p (CRF)" "--option t=$modern_seconds" \
  "-c:v libx265 -preset fast -crf 28 -b:v 0 -s 1920x1080 -b:a 128k $opus_audio" mkv ""
run_profile webm-vp9-t0 WebM "VP9 720p" "--option t=$modern_seconds" \
  "-c:v libvpx-vp9 -cpu-used 4 -row-mt 1 -crf 33 -b:v 0 -s 1280x720 -b:a 128k $opus_audio" webm ""
run_profile webm-av1-t0 WebM "AV1 720p" "--option t=$modern_seconds" \
  "-c:v libsvtav1 -preset 8 -crf 36 -b:v 0 -s 1280x720 -b:a 96k $opus_audio" webm ""

# Copying what fits: a 60 s 720p H.264/AAC file (the bench clip, converted once at rates
# under the profile's) into the same-codec profile, its streams copied (CopyStreamsThatFit)
# against re-encoded.
copy_input="$work/in/copy/clip60.mp4"
"$bin/tovrena-bench-clip" "$work/in/clip60.avi" 60 1280x720
"${cli[@]}" -g MP4 -p "H.264 HD 720p" -s VideoBitrate=2000 -s AudioBitRate=128 \
  -o "$work/in/copy" "$work/in/clip60.avi" >/dev/null
copy_profile=(-g MP4 -p "H.264 HD 720p")
for ((run = 1; run <= runs; run++)); do
  run_once copy-on.t "$work/out/copy/on" "${cli[@]}" "${copy_profile[@]}" -v \
    -s CopyStreamsThatFit=1 -o "$work/out/copy/on" "$copy_input"
  run_once copy-off.t "$work/out/copy/off" "${cli[@]}" "${copy_profile[@]}" \
    -o "$work/out/copy/off" "$copy_input"
done
for key in copy-on.t copy-off.t; do summarise "$key"; done
if ! grep -q "Video stream .*: copied" "$work/log.copy-on.t"; then
  echo "bench: copy: the video was not copied:" >&2
  grep "re-encoded because" "$work/log.copy-on.t" >&2 || true
  unfair=1
fi
copy_ratio=$(ratio "${wall[copy-off.t]}" "${wall[copy-on.t]}")
printf '%-13s copy on %7.2fs cpu %7.2fs %6.1f MB | copy off %7.2fs cpu %7.2fs %6.1f MB | %sx faster\n' \
  copy "${wall[copy-on.t]}" "${cpu[copy-on.t]}" "${peak[copy-on.t]}" \
  "${wall[copy-off.t]}" "${cpu[copy-off.t]}" "${peak[copy-off.t]}" "$copy_ratio"

# The batch: Tovrena with one and two files at once, the peer file after file, all with
# the libraries' default codec threads on the peer's side and Tovrena's one per file.
batch_out="$work/out/batch"
batch_profile=(-g MP4 -p "H.264 Web 640x360")
cat >"$work/peer-batch.sh" <<'EOF'
out="$1"
shift
for file; do
  ffmpeg -nostdin -hide_banner -loglevel error -i "$file" -c:v libx264 -b:v 900k -s 640x360 \
    -c:a aac -b:a 128k -ar 44100 -ac 2 "$out/$(basename "${file%.*}").mp4" || exit 1
done
EOF
for ((run = 1; run <= runs; run++)); do
  run_once batch-j1.t "$batch_out/j1" "${cli[@]}" "${batch_profile[@]}" -j 1 -o "$batch_out/j1" "${batch_inputs[@]}"
  run_once batch-j2.t "$batch_out/j2" "${cli[@]}" "${batch_profile[@]}" -j 2 -o "$batch_out/j2" "${batch_inputs[@]}"
  run_once batch.f "$batch_out/f" bash "$work/peer-batch.sh" "$batch_out/f" "${batch_inputs[@]}"
done
for key in batch-j1.t batch-j2.t batch.f; do summarise "$key"; done
compare_outputs batch-j1 "$batch_out/j1" "$batch_out/f"
compare_outputs batch-j2 "$batch_out/j2" "$batch_out/f"
for job in batch-j1 batch-j2; do
  wall[$job.f]=${wall[batch.f]} cpu[$job.f]=${cpu[batch.f]} peak[$job.f]=${peak[batch.f]}
done
report batch-j1
report batch-j2 2 " | $(ratio "${wall[batch-j1.t]}" "${wall[batch-j2.t]}")x the throughput of batch-j1"

# ---- listed files ------------------------------------------------------------------------

# A long list waits behind its first file: what each waiting file costs is measured while
# that first file converts, in resident memory and open files of the process.
listed_counts=(10 2000)
mkdir -p "$work/in/listed"
"$bin/tovrena-bench-clip" "$work/in/listed/small0.avi" 1 160x120
for ((i = 1; i < ${listed_counts[-1]}; i++)); do
  cp "$work/in/listed/small0.avi" "$work/in/listed/small$i.avi"
done

# listed_sample COUNT: one run with the 720p clip first and COUNT small files behind it;
# "rss_kB open_files" of tovrena-cli a second after the first output appeared.
listed_sample() {
  local count="$1" out="$work/out/listed" pid sample="" waited
  local -a small=()
  for ((i = 0; i < count; i++)); do small+=("$work/in/listed/small$i.avi"); done
  rm -rf "$out" && mkdir -p "$out"
  "${cli[@]}" "${batch_profile[@]}" -j 1 -o "$out" "$clip" "${small[@]}" >/dev/null 2>&1 &
  pid=$!
  for ((waited = 0; waited < 600; waited++)); do
    compgen -G "$out/.clip720.mp4.tovrena-*.part" >/dev/null && break
    sleep 0.1
  done
  sleep 1
  # Written under its temporary name until it is complete.
  if compgen -G "$out/.clip720.mp4.tovrena-*.part" >/dev/null && [[ -r "/proc/$pid/status" ]]; then
    sample="$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status") $(ls "/proc/$pid/fd" | wc -l)"
  fi
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if [[ -z "$sample" ]]; then
    echo "bench: listed-$count: the first file did not start converting" >&2
    exit 1
  fi
  echo "$sample"
}

declare -A listed_rss listed_files
for ((run = 1; run <= runs; run++)); do
  for count in "${listed_counts[@]}"; do listed_sample "$count" >>"$work/samples.listed-$count"; done
done
for count in "${listed_counts[@]}"; do
  listed_rss[$count]=$(awk '{print $1}' "$work/samples.listed-$count" | median)
  listed_files[$count]=$(awk '{print $2}' "$work/samples.listed-$count" | median)
done
few=${listed_counts[0]} many=${listed_counts[-1]}
listed_kb=$(awk -v a="${listed_rss[$many]}" -v b="${listed_rss[$few]}" -v n="$((many - few))" 'BEGIN {printf "%.1f", (a - b) / n}')
for count in "${listed_counts[@]}"; do
  printf '%-13s tovrena %6.1f MB %4d open files while the first file converts | %s open files per listed file\n' \
    "listed-$count" "$(awk -v k="${listed_rss[$count]}" 'BEGIN {print k / 1024}')" "${listed_files[$count]}" \
    "$(awk -v a="${listed_files[$count]}" -v b="${listed_files[$few]}" -v n="$((count - few))" 'BEGIN {printf "%.3f", (n > 0 ? (a - b) / n : 0)}')"
done
echo "listed        $listed_kb kB of resident memory per listed, not yet running file"

# ---- adding to the window's list -----------------------------------------------------------

# The window (offscreen) takes 1,000 of the small files at once: the seconds until every row
# is checked, and the longest the window's thread went without handling its events.
add_files=("$work"/in/listed/small{0..999}.avi)
for ((run = 1; run <= runs; run++)); do
  rm -rf "$work/out/add" && mkdir -p "$work/out/add"
  if ! "$bin/tovrena-bench-add" "$work/out/add" "${add_files[@]}" >"$work/log.add" 2>&1; then
    echo "bench: adding to the window's list failed:" >&2
    tail -n 5 "$work/log.add" >&2
    exit 1
  fi
  grep -o 'add=[0-9.]* stall=[0-9]*' "$work/log.add" | tr '=' ' ' | awk '{print $2, $4}' >>"$work/samples.add"
done
add_seconds=$(awk '{print $1}' "$work/samples.add" | median)
add_stall=$(awk '{print $2}' "$work/samples.add" | median)
echo "add           ${add_seconds}s to list and check 1000 files in the window, its thread busy at most ${add_stall} ms at a time"

# ---- the summary -------------------------------------------------------------------------

single=0
for job in avi-mpeg4 mp4-h264 mpg-dvd mp3-audio mov-copy; do
  single=$(awk -v a="$single" -v b="$(ratio "${wall[$job.t]}" "${wall[$job.f]}")" 'BEGIN {print ((b > a) ? b : a)}')
done
memory=-1e9
for job in "${!extra[@]}"; do
  memory=$(awk -v a="$memory" -v b="${extra[$job]}" 'BEGIN {print ((b > a) ? b : a)}')
done
[[ $unfair -eq 0 ]] || echo "bench: some outputs differ; the comparison is not fair" >&2
printf 'bench: single=%.2f threads=%.2f batch=%.2f memory=%.0f listed=%.1f hevc=%.2f vp9=%.2f av1=%.2f copy=%.1f add=%.2f stall=%.0f\n' \
  "$single" "$(ratio "${wall[mp4-h264-t0.t]}" "${wall[mp4-h264-t0.f]}")" \
  "$(ratio "${wall[batch.f]}" "${wall[batch-j2.t]}")" "$memory" "$listed_kb" \
  "$(ratio "${wall[mkv-hevc-t0.t]}" "${wall[mkv-hevc-t0.f]}")" \
  "$(ratio "${wall[webm-vp9-t0.t]}" "${wall[webm-vp9-t0.f]}")" \
  "$(ratio "${wall[webm-av1-t0.t]}" "${wall[webm-av1-t0.f]}")" "$copy_ratio" "$add_seconds" \
  "$add_stall"
exit $unfair
