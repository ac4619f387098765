# Shared by the run and test commands: installs what the suite needs on a
# Debian machine and builds it. Sourced, not run.

ROOT=$(cd "$(dirname "$0")/.." && pwd)
# Debian's own interpreter, which the Debian packages below install for.
PYTHON=/usr/bin/python3

# Debian packages, by names that Debian 12 and 13 both have: compilers and
# CMake, freeglut and Mesa (with its software renderer), GoogleTest, and for
# running with no screen and testing: Xvfb, xdotool, xwininfo, apitrace with
# the unversioned libEGL.so that its EGL replayer opens, ImageMagick,
# faketime, clang with its default version's runtime for the fuzzer, valgrind
# for the report's instruction counts, gdb for its crash backtraces, jinja2
# for its pages and Chromium to test them headless, piglit with a JUnit
# reader, which read the report's results, what piglit's trace replayer
# imports besides, numpy for the report's expected pictures, and git and
# rsync, with which the driver CI template's test and gitlab-ci-local (below)
# copy the checkout for each CI job, and Hypothesis, which fuzzes the pack and
# report documents.
PACKAGES="build-essential cmake pkg-config freeglut3-dev libgl-dev libglu1-mesa-dev
libgl1-mesa-dri libglx-mesa0 libgtest-dev python3 xvfb xauth xdotool x11-utils
apitrace libegl-dev imagemagick faketime clang libclang-rt-dev valgrind gdb
python3-jinja2 chromium
piglit python3-junitparser python3-packaging python3-requests python3-yaml python3-pil
python3-numpy git rsync python3-hypothesis"

# What judging a trace pack needs, with no build: Mesa's EGL and drivers,
# apitrace's replayer with the libEGL.so it opens, piglit (its glinfo and its
# runner), ImageMagick, and what the report imports: numpy for the expected
# pictures, Pillow to write them and jinja2 for the pages.
REPLAY_PACKAGES="python3 libegl-mesa0 libegl-dev libgl1-mesa-dri apitrace piglit imagemagick
python3-numpy python3-pil python3-jinja2"

# install_packages [PACKAGES]: installs those missing of PACKAGES (default:
# everything the suite needs). Every missing name is looked up first, so that
# one this release does not have stops the command with its name before
# anything is installed.
install_packages() {
    missing=""
    for p in ${1:-$PACKAGES}; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
            missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
    unknown=""
    for p in $missing; do
        LC_ALL=C apt-cache policy "$p" 2>/dev/null | grep -q "Candidate: [^(]" ||
            unknown="$unknown $p"
    done
    if [ -n "$unknown" ]; then
        echo "$(basename "$0"): apt has no package$unknown on" \
            "$(. /etc/os-release && echo "$PRETTY_NAME")" >&2
        return 1
    fi
    echo "Installing:$missing"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

# gitlab-ci-local, which runs the driver CI template
# (ci/driver-ci.gitlab-ci.yml) on this machine for its test, kept in a folder
# of the checkout that git ignores; the test finds it there.
GITLAB_CI_LOCAL_VERSION=4.56.0
GITLAB_CI_LOCAL_PREFIX="$ROOT/build-tools/npm"

# install_gitlab_ci_local: installs that version there with npm, and Debian's
# Node.js and npm first where there is no npm, unless it is there already.
# Where npm can download no prebuilt regular-expression module (re2) for it,
# node-gyp compiles one: npm would take the newest node-gyp, which needs a
# newer Node.js than Debian 12's and 13's, so the folder's package.json keeps
# one that runs on Node.js 18 and 20, pointed at Node.js's own headers where
# Debian installs them with npm (libnode-dev), which it would download.
GITLAB_CI_LOCAL_NODE_GYP=11.4.2
install_gitlab_ci_local() {
    bin="$GITLAB_CI_LOCAL_PREFIX/node_modules/.bin/gitlab-ci-local"
    if [ -x "$bin" ] &&
        [ "$("$bin" --version 2>/dev/null)" = "$GITLAB_CI_LOCAL_VERSION" ]; then
        return 0
    fi
    command -v npm >/dev/null 2>&1 || install_packages "nodejs npm"
    echo "Installing gitlab-ci-local $GITLAB_CI_LOCAL_VERSION into $GITLAB_CI_LOCAL_PREFIX"
    mkdir -p "$GITLAB_CI_LOCAL_PREFIX"
    cat >"$GITLAB_CI_LOCAL_PREFIX/package.json" <<EOF
{
  "private": true,
  "dependencies": { "gitlab-ci-local": "$GITLAB_CI_LOCAL_VERSION" },
  "overrides": { "node-gyp": "$GITLAB_CI_LOCAL_NODE_GYP" }
}
EOF
    rm -f "$GITLAB_CI_LOCAL_PREFIX/package-lock.json"
    nodedir=${npm_config_nodedir:-}
    if [ -z "$nodedir" ] && [ -f /usr/include/node/common.gypi ]; then
        nodedir=/usr
    fi
    npm_config_nodedir=$nodedir npm install --prefix "$GITLAB_CI_LOCAL_PREFIX" \
        --no-audit --no-fund --loglevel=error
}

# configure DIR [CMAKE OPTIONS...]: configures DIR with those options where
# it is not configured yet, or where its cache holds another value of one of
# them: a folder that another command configured first.
configure() {
    if [ -f "$1/CMakeCache.txt" ]; then
        for option in "$@"; do
            case $option in -D*=*) ;; *) continue ;; esac
            setting=${option#-D}
            name=${setting%%=*}
            if ! awk -v name="${name%%:*}" -v value="${setting#*=}" '
                index($0, name ":") == 1 { sub(/^[^=]*=/, ""); found = ($0 == value) }
                END { exit !found }' "$1/CMakeCache.txt"; then
                cmake -S "$ROOT" -B "$@"
                return
            fi
        done
        return 0
    fi
    cmake -S "$ROOT" -B "$@"
}

# build DIR [CMAKE OPTIONS...]: configures (see configure; a new folder for
# RelWithDebInfo), then builds what changed.
build() {
    dir=$1
    shift
    if [ -f "$dir/CMakeCache.txt" ]; then
        configure "$dir" "$@"
    else
        configure "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    cmake --build "$dir" -j "$(nproc)"
}

# check_usage COMMAND [ARGUMENTS...]: answers a command's --help and its
# usage errors before anything is installed or built, with Debian's Python
# and its standard library alone (report/programs/usage.py): the help goes
# to standard output and ends the script with status 0, a usage error is one
# line on standard error and ends it with status 2; arguments the command
# takes return. With no Python yet, -h or --help among the arguments prints
# the script's opening comment, and anything else goes on, for the command to
# check once Python is installed.
check_usage() {
    if [ ! -x "$PYTHON" ]; then
        for arg; do
            case $arg in
            -h|--help) sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0 ;;
            esac
        done
        return 0
    fi
    usage=$(PYTHONPATH="$ROOT" PYTHONDONTWRITEBYTECODE=1 \
        "$PYTHON" -m report.programs.usage "$@") || exit $?
    if [ -n "$usage" ]; then
        printf '%s\n' "$usage"
        exit 0
    fi
}
