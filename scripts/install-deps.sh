#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, test, lint and run.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
    cmake ninja-build g++ pkg-config git ca-certificates \
    libminizip-dev zlib1g-dev nlohmann-json3-dev libicu-dev libfmt-dev \
    libpng-dev libjpeg62-turbo-dev libturbojpeg0-dev \
    qt6-base-dev qt6-svg-dev qt6-multimedia-dev libgl-dev fonts-opendin \
    desktop-file-utils shared-mime-info \
    libgtest-dev libgmock-dev libbenchmark-dev \
    clang-format-16 clang-tidy-16 clang-16 libclang-rt-16-dev \
    unzip python3 xvfb xauth imagemagick locales tzdata
