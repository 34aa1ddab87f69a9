# Sourced by the project's scripts: installs the Debian packages a script
# needs when what they provide is missing.
#   need cmake g++ make               a command and the package of the same name
#   need_for x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
#   need_file /usr/include/gtest/gtest.h libgtest-dev
#   install_needed                    one apt-get for all of them (messages on stderr)
needed=()
need() { local tool; for tool in "$@"; do need_for "$tool" "$tool"; done; }
need_for() { command -v "$1" >/dev/null || needed+=("${@:2}"); }
need_file() { ls $1 >/dev/null 2>&1 || needed+=("${@:2}"); }
install_needed() {
  [ ${#needed[@]} -gt 0 ] || return 0
  echo "installing: ${needed[*]}" >&2
  apt-get update -qq >&2 && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${needed[@]}" >&2
}
