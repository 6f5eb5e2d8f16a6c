#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a given number of
# seconds (default 20). Exits non-zero on the first crash, leak, timeout
# (more than 2 s for one input) or out-of-memory (more than 512 MiB).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-20}
shift || true

build=$root/build-fuzz
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKQV_FUZZ=ON >/dev/null
cmake --build "$build"

targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(find "$build/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
fi

corpus_dir=$root/../shared/corpus
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/mail" "$seeds/header"
# Whole mails: the project's own test mails and the shared corpus.
find "$root/tests/data" "$corpus_dir" -type f ! -name '*.md' ! -name '*.json' -size -512k 2>/dev/null |
  while read -r f; do cp "$f" "$seeds/mail/$(printf '%s' "$f" | md5sum | cut -c1-16)"; done
# Header values: subjects, addresses and dates taken out of those mails.
i=0
grep -h -a -i -E '^(subject|from|to|cc|reply-to|date|received):' "$seeds"/mail/* 2>/dev/null | head -3000 |
  while IFS= read -r line; do
    printf '%s' "${line#*:}" > "$seeds/header/$i"
    i=$((i + 1))
  done

seed_for() {
  case $1 in
    fuzz_load|fuzz_change_mail) echo "$seeds/mail" ;;
    fuzz_transfer_decoders) echo "$seeds/mail" ;;
    *) echo "$seeds/header" ;;
  esac
}
dict_for() {
  case $1 in
    fuzz_encoded_words|fuzz_address_list|fuzz_mail_date) echo "$root/fuzz/dict/header.dict" ;;
    *) echo "$root/fuzz/dict/mail.dict" ;;
  esac
}

status=0
for t in "${targets[@]}"; do
  work=$build/corpus/$t
  artifacts=$build/artifacts/$t
  mkdir -p "$work" "$artifacts"
  echo "== $t: ${seconds}s"
  if ! (cd "$artifacts" && "$build/fuzz/$t" "$work" "$(seed_for "$t")" -dict="$(dict_for "$t")" \
        -max_total_time="$seconds" -timeout=2 -rss_limit_mb=512 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" 2>"$build/$t.log"); then
    echo "FAILED: $t (see $build/$t.log and $artifacts)"
    tail -40 "$build/$t.log"
    status=1
    break
  fi
  grep -E 'stat::number_of_executed_units|cov:' "$build/$t.log" | tail -2
done
exit $status
