#!/usr/bin/env bash
# Checks that every source file of the program compiles for Windows: each
# .cpp of every area (the folders whose CMakeLists.txt declares vq_area) goes
# through Debian's MinGW-w64 cross compiler with -fsyntax-only, so the code
# behind Q_OS_WIN is parsed and type-checked like the rest, with the warnings
# the real build turns into errors.
#
#   scripts/windows-syntax-check.sh [BUILD_DIR]
#
# BUILD_DIR (build-test by default) is a configured and built tree: its
# generated/ headers and the ui_*.h that uic wrote are read from there.
#
# There is no Windows Qt here, so Debian's Qt 5 headers stand in. Their Linux
# qconfig.h only switches features, and Q_OS_WIN follows the compiler
# (checked first below); they are included as system headers, which silences
# GCC's warnings about the dllimport that Q_CORE_EXPORT and the other export
# macros carry (friend functions declared again without it), a quirk of Qt's
# headers under MinGW, not of our lines. libjpeg-turbo's headers are plain C
# and come from the host too, through a folder that holds only them, since
# the host's /usr/include would bring glibc's headers in front of MinGW's.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-test}
cxx=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
qt=${QT_INCLUDE_DIR:-/usr/include/x86_64-linux-gnu/qt5}
jobs=${JOBS:-$(nproc)}

if ! command -v "$cxx" >/dev/null; then
    echo "找不到 Windows 交叉编译器 $cxx（scripts/install-deps.sh 安装 g++-mingw-w64-x86-64-posix）" >&2
    exit 1
fi
if [ ! -d "$build/generated" ]; then
    echo "$build/generated 不存在：先配置并编译 $build" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/jpeg"
for h in jpeglib.h jmorecfg.h jerror.h turbojpeg.h; do
    ln -s "/usr/include/$h" "$work/jpeg/$h"
done
ln -s "$(dirname "$(find /usr/include -name jconfig.h -print -quit)")/jconfig.h" "$work/jpeg/jconfig.h"

flags=(-std=c++17 -fsyntax-only -Wall -Wextra -Werror -DUNICODE -D_UNICODE)
for m in CORE GUI WIDGETS NETWORK PRINTSUPPORT SVG DBUS; do
    flags+=("-DQT_${m}_LIB")
done
flags+=(-I. "-I$build/generated")
for d in "$build"/*/vq_*_autogen/include; do
    [ -d "$d" ] && flags+=("-I$d")
done
flags+=(-isystem "$qt")
for m in QtCore QtGui QtWidgets QtNetwork QtPrintSupport QtSvg QtConcurrent QtDBus; do
    flags+=(-isystem "$qt/$m")
done
flags+=(-isystem "$work/jpeg")

# The Windows branches are only checked if Qt takes them.
printf '#include <QtGlobal>\n#ifndef Q_OS_WIN\n#error Q_OS_WIN is not defined\n#endif\n' >"$work/probe.cpp"
if ! "$cxx" "${flags[@]}" "$work/probe.cpp"; then
    echo "交叉编译器下 Qt 没有定义 Q_OS_WIN，无法检查 Windows 代码" >&2
    exit 1
fi

areas=$(grep -l '^vq_area(' */CMakeLists.txt | xargs -n1 dirname | sort)
find $areas -name '*.cpp' | sort >"$work/files"
count=$(wc -l <"$work/files")

# One log per file; the failures are printed whole at the end, not interleaved.
export cxx work
printf '%s\0' "${flags[@]}" >"$work/flags"
check_one() {
    local file=$1 log
    log="$work/log.$(printf '%s' "$file" | tr '/' '_')"
    local -a f
    mapfile -d '' f <"$work/flags"
    if ! "$cxx" "${f[@]}" "$file" >"$log" 2>&1; then
        mv "$log" "$log.failed"
    fi
}
export -f check_one
xargs -P "$jobs" -I{} bash -c 'check_one "$1"' _ {} <"$work/files"

failed=("$work"/log.*.failed)
if [ -e "${failed[0]}" ]; then
    cat "${failed[@]}" >&2
    echo "Windows 语法检查：${#failed[@]} 个文件（共 $count 个）未通过" >&2
    exit 1
fi
echo "Windows 语法检查：$count 个文件通过"
