#!/usr/bin/env bash
# Builds a text-file fuzzer (profile or settings reader) with clang (libFuzzer + AddressSanitizer
# + UBSan), seeds it with real files, fuzzes for a while, then merges what added coverage into
# fuzz/corpus-<target>.
#   fuzz/run-text.sh profile|settings [seconds]        default 180
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?profile or settings}
duration=${2:-180}
out=build/fuzz-$target
corpus=fuzz/corpus-$target
mkdir -p "$out/seeds" "$out/found" "$corpus"

sources="src/core/text_helpers.cpp src/core/windows1252.cpp src/config/text_file.cpp
  src/config/settings_lines.cpp src/config/device_settings.cpp src/config/window_settings.cpp"
if [ "$target" = profile ]; then
  sources="$sources src/carts/cart.cpp src/carts/cart_table.cpp src/carts/cart_editing.cpp
    src/carts/cart_buttons.cpp src/carts/profile_format.cpp"
fi
# shellcheck disable=SC2086,SC2046
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc $(pkg-config --cflags Qt6Core) fuzz/${target}_fuzzer.cpp $sources \
  $(pkg-config --libs Qt6Core) -o "$out/fuzzer"

if [ "$target" = profile ]; then
  printf '|001|CAN\xc7\xc3O|C:\\AUDIO\\x.mp3|65280|1|0|0|3000|\r\n|002|A|B|/x|y.mp3|1|0|0|0|1|\r\n003#$$%%%%%%\r\n' \
    >"$out/seeds/saved.pfl"
  printf '|001|NOME|/a.mp3|abc|0|1|0|12x|\n|096|Z|/z|1|1|1|1|1|\n' >"$out/seeds/lf.pfl"
else
  printf 'Quallon\r\nBrasil\r\nTAMBR=3000\r\nDVTRA=1\r\nDVCUE=-1\r\nMIXAGEM=900\r\nFADE=800\r\n' \
    >"$out/seeds/cfg"
  printf 'VOLUME=64\r\nAUTO_FADE=1\r\nAUTO_MIX=0\r\n' >"$out/seeds/ini"
fi

"$out/fuzzer" -max_total_time="$duration" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$out/found" "$corpus" "$out/seeds"
"$out/fuzzer" -merge=1 -max_len=8192 "$corpus" "$out/found" "$out/seeds"
