#!/usr/bin/env bash
# Installs every package the build, the tests and the benchmarks need (Debian, as root).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config clang-format
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libsndfile1-dev libcairo2-dev fonts-dejavu-core fonts-liberation2
    libfftw3-dev libcli11-dev libvalijson-dev libpugixml-dev
    clang-14 libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
