#!/usr/bin/env bash
# Installs what Kalvix needs, builds it, and starts it. Arguments are passed on to kalvix.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVIX_BUILD_TESTS=OFF -DKALVIX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/release --target kalvix
exec build/release/app/kalvix "$@"
