# Shared by the scripts: finds the project, installs the tools it needs when they are missing.

# CDPATH would make cd search elsewhere and print the folder, doubling project_root.
unset CDPATH
project_root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir=${BUILD_DIR:-$project_root/build}
# Absolute, so that no tool takes a folder named like -x for an option.
[[ $build_dir == /* ]] || build_dir=$PWD/$build_dir

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Without an X display Wine 10 (Debian 13) tries Wayland, whose library writes "error:
# XDG_RUNTIME_DIR is invalid or not set in the environment." into the output of the first program
# of each Wine session when that variable is unset (a root shell, a chroot, CI). The login
# session's usual folder quiets it; whether it exists changes nothing, no display is used.
[ -n "${XDG_RUNTIME_DIR:-}" ] || { XDG_RUNTIME_DIR=/run/user/$(id -u); export XDG_RUNTIME_DIR; }

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

# What scripts/package needs: the release packages, Wine, to check the media with media-check,
# and a native C++ compiler for its name checker (scripts/lib/media-names.cpp); no fuzzer,
# GoogleTest, NSIS or Japanese locale.
missing_package_tools_packages() {
    # shellcheck disable=SC2046 # package names hold no blank: the lists are split into words
    echo $(missing_release_packages) $(missing_wine_packages) $(missing_native_compiler_packages)
}

missing_native_compiler_packages() {
    command -v c++ >/dev/null || echo g++
}

missing_wine_packages() {
    local missing=()
    command -v wine >/dev/null || missing+=(wine)
    package_installed wine64 || missing+=(wine64)
    package_installed wine32:i386 || missing+=(wine32:i386)
    echo "${missing[@]}"
}

# What building everything needs (scripts/build): the release packages, GoogleTest and NSIS.
missing_build_packages() {
    local missing=()
    read -ra missing <<<"$(missing_release_packages)"
    [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
    command -v makensis >/dev/null || missing+=(nsis)
    echo "${missing[@]}"
}

# What scripts/demo needs: the build's packages and Wine.
missing_demo_packages() {
    # shellcheck disable=SC2046 # as above
    echo $(missing_build_packages) $(missing_wine_packages)
}

# Everything: the demo's packages, then those of the tests (the benchmarks need no more).
missing_packages() {
    local missing=()
    read -ra missing <<<"$(missing_demo_packages)"
    # The Japanese locale gives Wine a double-byte ANSI code page (932).
    package_installed locales || missing+=(locales)
    command -v xmllint >/dev/null || missing+=(libxml2-utils)
    command -v c++ >/dev/null || missing+=(g++) # scripts/package's name checker
    local fuzz=()
    read -ra fuzz <<<"$(missing_fuzz_packages)"
    missing+=(${fuzz[@]+"${fuzz[@]}"})
    echo "${missing[@]}"
}

# Native fuzzing of the pure parsers (scripts/fuzz): a clang with its fuzzer and sanitizer
# runtimes, clang-N and libclang-rt-N-dev (clang-N only recommends it). N is found, not pinned:
# FUZZ_CLANG_VERSION when set, else the newest N installed with both, else the release's own clang
# (the one its clang package depends on: 14 on Debian 12, 19 on Debian 13), else the newest N whose
# two packages the package lists offer (both releases' updates add newer ones, for browsers). Sets
# fuzz_clang (clang++-N); says why and exits when there is none.
choose_fuzz_clang() {
    local version=${FUZZ_CLANG_VERSION:-}
    [ -n "$version" ] || version=$(installed_fuzz_clang_versions | head -n 1)
    if [ -z "$version" ]; then
        ensure_package_lists
        for version in $(release_clang_version) $(offered_versions clang- | sort -rn); do
            package_offered "clang-$version" && package_offered "libclang-rt-$version-dev" && break
            version=
        done
    fi
    if [ -z "$version" ]; then
        echo "${0##*/}: fuzzing needs clang-N and libclang-rt-N-dev (its fuzzer and sanitizer" \
             "runtimes) for one version N; none is installed, and this Debian's package lists" \
             "offer no such pair$(compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null ||
                 echo " (they are empty: apt-get update as root)")" >&2
        exit 1
    fi
    fuzz_clang=clang++-$version
}
installed_fuzz_clang_versions() { # newest first
    local clang
    for clang in /usr/bin/clang++-*; do
        if [[ ${clang##*-} =~ ^[0-9]+$ ]] && package_installed "libclang-rt-${clang##*-}-dev"; then
            echo "${clang##*-}"
        fi
    done | sort -rn
}
release_clang_version() {
    LC_ALL=C apt-cache show --no-all-versions clang 2>/dev/null |
        sed -n 's/^Depends:.*clang-\([0-9][0-9]*\) .*/\1/p' | head -n 1 || true
}
offered_versions() { # PREFIX: the N of every package named PREFIX<N> the package lists know
    apt-cache pkgnames "$1" 2>/dev/null | sed -n "s/^$1\([0-9][0-9]*\)\$/\1/p"
}
missing_fuzz_packages() { # after choose_fuzz_clang
    local version=${fuzz_clang#clang++-} missing=()
    command -v "$fuzz_clang" >/dev/null || missing+=("clang-$version")
    package_installed "libclang-rt-$version-dev" || missing+=("libclang-rt-$version-dev")
    echo "${missing[@]}"
}

# A 64-bit build of the tests, for a machine that cannot run 32-bit programs (see scripts/test).
missing_64_bit_test_packages() {
    command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
        command -v x86_64-w64-mingw32-g++-win32 >/dev/null || echo g++-mingw-w64-x86-64
}

# Updates the package lists when they are empty (a fresh root, a container): as root only.
ensure_package_lists() {
    compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null && return 0
    [ "$(id -u)" = 0 ] || return 0
    echo "Updating the package lists (they are empty)"
    apt-get update -q >&2
}
package_offered() { # NAME: whether the package lists have a version of it to install
    local candidate
    candidate=$(LC_ALL=C apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}
# What each package is for, said when this release does not offer it.
package_purpose() {
    case $1 in
    g++-mingw-w64-i686) echo "the MinGW-w64 cross-compiler that builds launcher.exe" ;;
    g++-mingw-w64-x86-64) echo "the 64-bit build of the tests, where 32-bit programs cannot run" ;;
    wine | wine64 | wine32:i386) echo "Wine, which runs the Windows programs (tests, demo, media-check)" ;;
    googletest) echo "GoogleTest's sources, for the unit and end-to-end tests" ;;
    nsis) echo "makensis, which builds the small real product the tests and the demo install" ;;
    clang-* | libclang-rt-*) echo "native fuzzing (scripts/fuzz and the fuzz test)" ;;
    g++) echo "the native compiler of scripts/package's name checker" ;;
    *) echo "the scripts" ;;
    esac
}

# Installs what is missing with apt when run as root; otherwise says what to install. Takes the
# function that lists the missing packages. A package this release does not offer is named, with
# what it is for, before apt is asked for anything.
install_missing_packages() {
    local list=$1 missing package unavailable=() i386=
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
    for package in $missing; do
        package_offered "$package" || unavailable+=("$package")
    done
    for package in ${unavailable[@]+"${unavailable[@]}"}; do
        echo "${0##*/}: this Debian ($(. /etc/os-release && echo "${PRETTY_NAME:-?}")) offers no" \
             "package $package, needed for $(package_purpose "$package")" >&2
    done
    [ ${#unavailable[@]} = 0 ] || exit 1
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
    missing=$($list)
    if [ -n "$missing" ]; then
        echo "${0##*/}: still missing after installation: $missing" >&2
        exit 1
    fi
}

# Everything scripts/test needs: the packages, then the locale (generated with one of them).
ensure_tools() {
    choose_fuzz_clang
    install_missing_packages missing_packages
    ensure_locale
    find_wine_loaders
}

# What scripts/build needs: no Wine, fuzzer or locale.
ensure_build_tools() {
    install_missing_packages missing_build_packages
}

# What scripts/demo needs: no fuzzer or Japanese locale.
ensure_demo_tools() {
    install_missing_packages missing_demo_packages
    find_wine_loaders
}

# What scripts/package needs (missing_package_tools_packages).
ensure_package_tools() {
    install_missing_packages missing_package_tools_packages
    find_wine_loaders
}

# What scripts/fuzz needs: the clang chosen and its runtimes.
ensure_fuzz_tools() {
    choose_fuzz_clang
    install_missing_packages missing_fuzz_packages
}

# What scripts/sign needs: no Wine, NSIS, GoogleTest or locale.
ensure_release_tools() {
    install_missing_packages missing_release_packages
}

# What scripts/verify-release and scripts/check-reproducible need: the same and git.
ensure_release_check_tools() {
    install_missing_packages missing_release_check_packages
}

# The Wine loaders, found where the installed packages put them (wine32:i386 and wine64; on
# Debian 12 and 13 both in /usr/lib/wine); these defaults stand while a package is missing.
wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64
find_wine_loaders() {
    wine32_loader=$(packaged_program wine32:i386 wine || echo "$wine32_loader")
    wine64_loader=$(packaged_program wine64 wine64 || echo "$wine64_loader")
}
packaged_program() { # PACKAGE NAME: the program NAME the package installed outside the bin folders
    local file
    while IFS= read -r file; do
        if [[ $file == */lib/*$2 && ${file##*/} == "$2" && -f $file && -x $file ]]; then
            echo "$file"
            return 0
        fi
    done < <(dpkg -L "$1" 2>/dev/null)
    return 1
}

# Whether this machine runs 32-bit programs. Some kernels run 64-bit user code only: the kernel
# refuses to execute the 32-bit Wine loader (exit status 126, exec format error). Asked after
# ensure_tools, which installs that loader. Any other outcome keeps the usual 32-bit test run.
runs_32_bit_programs() {
    local status=0
    find_wine_loaders
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
build_64_bit_project() { # FOLDER [ON|OFF]: with the tests (the default) or without
    cmake -S "$project_root" -B "$1" -DBUILD_TESTING="${2:-ON}" -DWINE_TESTS=ON \
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
