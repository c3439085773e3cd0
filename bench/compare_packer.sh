#!/bin/sh
# Packs and unpacks one 10 MB HTML-like corpus with our coder, with jlha (pack) and with
# lhasa (unpack), and prints speed and size side by side.
# Usage: bench/compare_packer.sh [BUILD_DIR]
set -eu
build=${1:-build}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 - "$dir/corpus.html" <<'PY'
import random, sys
random.seed(3)
w = ['<div class="job">', '<a href="/jobs/', '</a>', 'engineer', 'Paris', 'London', 'senior',
     'developer', 'salary', '<td>', '</td>', '\r\n', 'C++', 'full time', 'contract']
out = []
n = 0
while n < 10 << 20:
    s = random.choice(w) + (str(random.randint(0, 99999)) if random.random() < .2 else ' ')
    out.append(s)
    n += len(s)
open(sys.argv[1], 'w', newline='').write(''.join(out))
PY
size=$(stat -c %s "$dir/corpus.html")
now() { date +%s.%N; }
t0=$(now); (cd "$dir" && jlha ao5 c.lzh corpus.html >/dev/null); t1=$(now)
mkdir "$dir/x"; cp "$dir/c.lzh" "$dir/x/"
t2=$(now); (cd "$dir/x" && lhasa xq c.lzh); t3=$(now)
lzh=$(stat -c %s "$dir/c.lzh")
echo "tool        MB/s pack  MB/s unpack  packed/original"
awk -v s="$size" -v a="$t0" -v b="$t1" -v c="$t2" -v d="$t3" -v z="$lzh" 'BEGIN {
  printf "jlha/lhasa  %9.1f  %11.1f  %15.4f\n", s/1048576/(b-a), s/1048576/(d-c), z/s }'
TESSALY_PACKER_CORPUS="$dir/corpus.html" "$build/bench/bench_packer" \
  --benchmark_format=csv 2>/dev/null | awk -F, '
  /BM_Lh5Pack/   { pack = $6; ratio = $NF }
  /BM_Lh5Unpack/ { unpack = $6 }
  END { printf "tessaly     %9.1f  %11.1f  %15s\n", pack/1048576, unpack/1048576, ratio }'
