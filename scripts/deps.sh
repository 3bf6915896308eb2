# Sourced by the other scripts: installs the Debian packages the build needs when missing.
# Needs root (apt-get) only when something is missing.

RWB_BUILD_PACKAGES="cmake ninja-build g++ clang pkg-config libx11-dev libcairo2-dev
  libfontconfig-dev fonts-urw-base35 libsndfile1-dev libjack-jackd2-dev libzita-resampler-dev
  lv2-dev liblilv-dev"
# dpkg-dev and file: cpack computes the Debian package's Depends with dpkg-shlibdeps.
RWB_TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev libpng-dev xvfb xauth xdotool
  libxtst-dev jackd2 lilv-utils sordi dpkg-dev file"

rwb_install_missing() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing Debian packages: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "error: these packages are missing and installing them needs root:" >&2
        echo "  apt-get install ${missing[*]}" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
