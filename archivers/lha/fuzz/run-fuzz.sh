#!/bin/bash
# Runs one fuzz target for a few seconds on a fresh seed corpus.
set -euo pipefail
fuzzer=$1 devtool=$2 work=$3
rm -rf "$work"; mkdir -p "$work/corpus"
"$devtool" seeds "$work/corpus"
exec "$fuzzer" -max_total_time=10 -timeout=5 -rss_limit_mb=1024 "$work/corpus"
