#!/usr/bin/env bash
# Builds the stream fuzzer with clang (libFuzzer + AddressSanitizer + UBSan), makes small seed
# files with ffmpeg, fuzzes for a while, then merges what added coverage into fuzz/corpus.
#   fuzz/run.sh [seconds]        default 300
set -euo pipefail
cd "$(dirname "$0")/.."
duration=${1:-300}
out=build/fuzz
mkdir -p "$out/seeds" "$out/found" fuzz/corpus

libs="libavformat libavcodec libswresample libavutil"
# shellcheck disable=SC2046
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc $(pkg-config --cflags $libs) \
  fuzz/stream_fuzzer.cpp src/audio/engine/media_source.cpp \
  $(pkg-config --libs $libs) -o "$out/stream_fuzzer"

seed() { ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=440:duration=$1:sample_rate=$2" "${@:3}"; }
seed 0.05 8000 -ac 1 -c:a pcm_u8 "$out/seeds/u8.wav"
seed 0.05 44100 -ac 2 -c:a pcm_s16le "$out/seeds/s16.wav"
seed 0.05 48000 -ac 2 -c:a pcm_s24le "$out/seeds/s24.wav"
seed 0.05 22050 -ac 1 -c:a pcm_f32le "$out/seeds/f32.wav"
seed 0.2 44100 -ac 2 -c:a libmp3lame -b:a 64k "$out/seeds/lame.mp3"
seed 0.2 32000 -ac 1 -c:a libmp3lame -q:a 6 -write_xing 0 "$out/seeds/noxing.mp3"
seed 0.2 22050 -ac 1 -c:a mp2 -f mp2 "$out/seeds/layer2.mp2"
seed 0.2 44100 -ac 2 -c:a wmav2 -b:a 64k "$out/seeds/v2.wma"
seed 0.2 22050 -ac 1 -c:a wmav1 -b:a 32k "$out/seeds/v1.wma"

"$out/stream_fuzzer" -max_total_time="$duration" -max_len=32768 -timeout=20 -rss_limit_mb=3072 \
  -print_final_stats=1 "$out/found" fuzz/corpus "$out/seeds"
"$out/stream_fuzzer" -merge=1 -max_len=32768 fuzz/corpus "$out/found" "$out/seeds"
