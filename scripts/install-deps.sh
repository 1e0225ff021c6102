#!/bin/sh
# Installs every package the build, the tests and the sample job need.
# One list, shared by the README's commands and by CI.
set -e
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
    build-essential cmake ninja-build ccache pkg-config git \
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libgl-dev qt6-svg-dev \
    postgresql \
    libgtest-dev libgmock-dev libbenchmark-dev \
    libxml2-dev libxml2-utils libxlsxwriter-dev libzip-dev libshp-dev shapelib \
    mdbtools mdbtools-dev libfreexl-dev libwps-dev librevenge-dev libwps-tools \
    libgsf-bin python3 python3-olefile python3-openpyxl python3-xlrd python3-dbfread poppler-utils \
    fonts-noto-cjk fonts-arphic-uming fonts-wqy-zenhei clang-format \
    clang libclang-rt-14-dev llvm-14 \
    xvfb xauth qt6-translations-l10n libreoffice-calc-nogui libsqlite3-dev \
    libcurl4-openssl-dev python3-aiosmtpd \
    liborcus-dev
