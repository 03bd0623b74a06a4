#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    g++-mingw-w64-x86-64-posix
    qtbase5-dev qtbase5-dev-tools libqt5svg5-dev qttools5-dev-tools qttranslations5-l10n
    qt5-image-formats-plugins
    libturbojpeg0-dev libjpeg62-turbo-dev
    fonts-droid-fallback
    xvfb xauth poppler-utils openssl ca-certificates
    x11-apps x11-utils imagemagick openbox
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "安装缺少的软件包: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
