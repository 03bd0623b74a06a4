#!/usr/bin/env bash
# Installs what is missing and runs the tests headless in three builds:
# every test built with AddressSanitizer and UndefinedBehaviorSanitizer; the
# engine's and the imports' tests with the engine's stress program in the
# build type that ships (RelWithDebInfo), whose allocator and timing the
# sanitizers hide; and every test again under ThreadSanitizer. After the
# first build, every source file of the program is also compiled for
# Windows (syntax only) with the MinGW-w64 cross compiler.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

cmake -S . -B build-test -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DVQ_SANITIZE=ON \
    -DVQ_WERROR=ON \
    -DVQ_SERVICE_EXTRA_CA= >/dev/null
cmake --build build-test -j "$(nproc)"
./scripts/windows-syntax-check.sh build-test
(cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")

cmake -S . -B build-rel -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVQ_WERROR=ON \
    -DVQ_BUILD_BENCH=OFF \
    -DVQ_SERVICE_EXTRA_CA= >/dev/null
cmake --build build-rel -j "$(nproc)" --target engine_tests
(cd build-rel && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" -L engine)

cmake -S . -B build-tsan -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DVQ_TSAN=ON \
    -DVQ_WERROR=ON \
    -DVQ_BUILD_BENCH=OFF \
    -DVQ_SERVICE_EXTRA_CA= >/dev/null
cmake --build build-tsan -j "$(nproc)"
(cd build-tsan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
