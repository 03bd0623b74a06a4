#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

cmake -S . -B build-test -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DVQ_SANITIZE=ON \
    -DVQ_WERROR=ON \
    -DVQ_SERVICE_EXTRA_CA= >/dev/null
cmake --build build-test -j "$(nproc)"

cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
