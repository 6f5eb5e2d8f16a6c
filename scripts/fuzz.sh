#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a given number of
# seconds (default 20), two at a time. Exits non-zero on the first crash,
# leak, timeout (more than 2 s for one input) or out-of-memory (more than
# 512 MiB).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# FUZZ_BUILD_DIR overrides the build folder (default build-fuzz). The corpus
# each target grows is kept in <build>/corpus/<target> for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-20}
shift || true

build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(find "$root/fuzz" -maxdepth 1 -name 'fuzz_*.cpp' -printf '%f\n' |
    sed 's/\.cpp$//' | sort)
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKQV_FUZZ=ON >/dev/null
# Only the fuzz targets: the rest of the tree is built and tested elsewhere.
cmake --build "$build" --target "${targets[@]}"

corpus_dir=$root/../shared/corpus
seed_sources=("$root/tests/data")
if [ -d "$corpus_dir" ]; then
  seed_sources+=("$corpus_dir")
else
  echo "fuzz seeds: no mail corpus at $corpus_dir, skipped; seeding from tests/data only"
fi
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/mail" "$seeds/header"
# Whole mails: the project's own test mails, earlier findings and the shared corpus.
find "${seed_sources[@]}" -type f ! -name '*.md' ! -name '*.json' -size -512k 2>/dev/null |
  while IFS= read -r f; do cp "$f" "$seeds/mail/$(printf '%s' "$f" | md5sum | cut -c1-16)"; done
# Header values: subjects, addresses and dates taken out of those mails.
{ grep -h -a -i -E '^(subject|from|to|cc|reply-to|date|received):' "$seeds"/mail/* 2>/dev/null || true; } |
  head -3000 | awk '{ sub(/^[^:]*:/, ""); f = sprintf("%s/%d", dir, NR); printf "%s", $0 > f; close(f) }' \
  dir="$seeds/header"

seed_for() {
  case $1 in
    fuzz_load|fuzz_change_mail|fuzz_transfer_decoders) echo "$seeds/mail" ;;
    *) echo "$seeds/header" ;;
  esac
}
dict_for() {
  case $1 in
    fuzz_encoded_words|fuzz_address_list|fuzz_mail_date) echo "$root/fuzz/dict/header.dict" ;;
    *) echo "$root/fuzz/dict/mail.dict" ;;
  esac
}

# ASan's quarantine of freed memory counts against the 512 MiB limit; a
# smaller one leaves that limit to what an input itself makes us allocate.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}

# Runs one target; its output goes to <build>/<target>.log.
run_target() {
  local t=$1
  local work=$build/corpus/$t
  local artifacts=$build/artifacts/$t
  local regressions=$root/tests/data/fuzz-regressions/$t
  mkdir -p "$work" "$artifacts"
  local inputs=("$work" "$(seed_for "$t")")
  if [ -d "$regressions" ]; then inputs+=("$regressions"); fi
  (cd "$artifacts" && "$build/fuzz/$t" "${inputs[@]}" -dict="$(dict_for "$t")" \
    -max_total_time="$seconds" -timeout=2 -rss_limit_mb=512 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" >"$build/$t.log" 2>&1)
}

# FUZZ_JOBS targets at a time (default 2, one per core); the first batch
# with a finding ends the run.
jobs=${FUZZ_JOBS:-2}
status=0
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
  batch=("${targets[@]:i:jobs}")
  pids=()
  for t in "${batch[@]}"; do
    echo "== $t: ${seconds}s"
    run_target "$t" &
    pids+=($!)
  done
  for k in "${!batch[@]}"; do
    t=${batch[$k]}
    if ! wait "${pids[$k]}"; then
      echo "FAILED: $t (see $build/$t.log and $build/artifacts/$t)"
      tail -60 "$build/$t.log"
      status=1
    else
      echo "-- $t"
      { grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units' "$build/$t.log" || true; } | tail -2
    fi
  done
  if ((status != 0)); then break; fi
done
if ((status == 0)); then echo "fuzz: ${#targets[@]} targets ran ${seconds}s each without a finding"; fi
exit $status
