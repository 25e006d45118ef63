# Shared by the scripts: finds the project, installs the tools it needs when they are missing.

# CDPATH would make cd search elsewhere and print the folder, doubling project_root.
unset CDPATH
project_root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir=${BUILD_DIR:-$project_root/build}
# Absolute, so that no tool takes a folder named like -x for an option.
[[ $build_dir == /* ]] || build_dir=$PWD/$build_dir

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# What building launcher.exe and signing it need, nothing more.
missing_release_packages() {
    local missing=()
    # Both thread models: posix for the project (and the tests), win32 for launcher.exe.
    command -v i686-w64-mingw32-g++-posix >/dev/null &&
        command -v i686-w64-mingw32-g++-win32 >/dev/null || missing+=(g++-mingw-w64-i686)
    command -v cmake >/dev/null || missing+=(cmake)
    command -v make >/dev/null || missing+=(make)
    command -v osslsigncode >/dev/null || missing+=(osslsigncode)
    command -v openssl >/dev/null || missing+=(openssl)
    echo "${missing[@]}"
}

# Checking a release also needs git: check-reproducible copies the tracked files, verify-release
# tells uncommitted changes.
missing_release_check_packages() {
    local missing=()
    read -ra missing <<<"$(missing_release_packages)"
    command -v git >/dev/null || missing+=(git)
    echo "${missing[@]}"
}

# Everything: the release packages, then those of the tests, the demo and the benchmarks.
missing_packages() {
    local missing=()
    read -ra missing <<<"$(missing_release_packages)"
    [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
    command -v wine >/dev/null || missing+=(wine)
    package_installed wine64 || missing+=(wine64)
    package_installed wine32:i386 || missing+=(wine32:i386)
    command -v makensis >/dev/null || missing+=(nsis)
    # The Japanese locale gives Wine a double-byte ANSI code page (932).
    package_installed locales || missing+=(locales)
    command -v xmllint >/dev/null || missing+=(libxml2-utils)
    local fuzz=()
    read -ra fuzz <<<"$(missing_fuzz_packages)"
    missing+=(${fuzz[@]+"${fuzz[@]}"})
    echo "${missing[@]}"
}

# Native fuzzing of the pure parsers (scripts/fuzz): clang and its fuzzer and sanitizer runtimes,
# which come with libclang-rt-14-dev (clang-14 only recommends it).
missing_fuzz_packages() {
    local missing=()
    command -v clang++-14 >/dev/null || missing+=(clang-14)
    package_installed libclang-rt-14-dev || missing+=(libclang-rt-14-dev)
    echo "${missing[@]}"
}

# A 64-bit build of the tests, for a machine that cannot run 32-bit programs (see scripts/test).
missing_64_bit_test_packages() {
    command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
        command -v x86_64-w64-mingw32-g++-win32 >/dev/null || echo g++-mingw-w64-x86-64
}

# Installs what is missing with apt when run as root; otherwise says what to install. Takes the
# function that lists the missing packages.
install_missing_packages() {
    local list=$1 missing i386=
    missing=$($list)
    [ -z "$missing" ] && return 0
    [[ " $missing " != *":i386 "* ]] || i386="dpkg --add-architecture i386 && "
    if [ "$(id -u)" != 0 ]; then
        echo "${0##*/}: missing: $missing; as root: ${i386}apt-get update &&" \
             "apt-get install $missing" >&2
        exit 1
    fi
    echo "Installing: $missing"
    [ -z "$i386" ] || dpkg --add-architecture i386
    apt-get update -q
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
    missing=$($list)
    if [ -n "$missing" ]; then
        echo "${0##*/}: still missing after installation: $missing" >&2
        exit 1
    fi
}

# Everything the scripts need: the packages, then the locale (generated with one of them).
ensure_tools() {
    install_missing_packages missing_packages
    ensure_locale
}

# What scripts/sign needs: no Wine, NSIS, GoogleTest or locale.
ensure_release_tools() {
    install_missing_packages missing_release_packages
}

# What scripts/verify-release and scripts/check-reproducible need: the same and git.
ensure_release_check_tools() {
    install_missing_packages missing_release_check_packages
}

# Whether this machine runs 32-bit programs. Some kernels run 64-bit user code only: the kernel
# refuses to execute the 32-bit Wine loader (exit status 126, exec format error). Asked after
# ensure_tools, which installs that loader. Any other outcome keeps the usual 32-bit test run.
wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64
runs_32_bit_programs() {
    local status=0
    "$wine32_loader" --version >/dev/null 2>&1 || status=$?
    [ "$status" != 126 ]
}

japanese_locale_present() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'
}

# Generates the Japanese UTF-8 locale when it is missing (as root; otherwise says how).
ensure_locale() {
    japanese_locale_present && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "${0##*/}: missing: the ja_JP.UTF-8 locale; as root:" \
             "echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen && locale-gen" >&2
        exit 1
    fi
    echo "Generating the ja_JP.UTF-8 locale"
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
        echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
    japanese_locale_present ||
        { echo "${0##*/}: cannot generate the ja_JP.UTF-8 locale" >&2; exit 1; }
}

configure_project() { # [ON|OFF [CMAKE_OPTION...]]: with the tests (the default) or without
    cmake -S "$project_root" -B "$build_dir" -DBUILD_TESTING="${1:-ON}" \
        -DCMAKE_TOOLCHAIN_FILE="$project_root/cmake/i686-w64-mingw32.cmake" "${@:2}"
}

build_project() { # [ON|OFF [CMAKE_OPTION...]]: as configure_project
    configure_project "$@"
    cmake --build "$build_dir" -j"$(nproc)"
}

# The 64-bit build of the same sources, with the tests, for a machine that cannot run 32-bit
# programs (see scripts/test): run by the 64-bit Wine loader, which it names in its CMakeCache.
build_64_bit_project() { # FOLDER
    cmake -S "$project_root" -B "$1" -DBUILD_TESTING=ON -DWINE_TESTS=ON \
        -DCMAKE_TOOLCHAIN_FILE="$project_root/cmake/x86_64-w64-mingw32.cmake" \
        -DWINE_LOADER="$wine64_loader"
    cmake --build "$1" -j"$(nproc)"
}

# launcher.exe alone; a no-op when it is up to date. A new build folder is configured without the
# tests, which need Wine, NSIS and GoogleTest; configure_project adds them later.
build_launcher() {
    [ -f "$build_dir/CMakeCache.txt" ] || configure_project OFF
    cmake --build "$build_dir" --target launcher -j"$(nproc)"
}
