# shellcheck shell=bash
# Sourced by the scripts beside it (not run on its own): the answers to
# --help and --version, which come before anything with a side effect, and
# the project's version.

scripts_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The one version of the project: the versioning folder's one-line file
# when there is one, otherwise the project() line of the top CMakeLists.txt.
project_version() {
  local file
  for file in "$scripts_root/versioning/VERSION" "$scripts_root/versioning/version.txt"; do
    if [[ -r $file ]]; then
      head -n1 "$file" | tr -d '[:space:]'
      echo
      return
    fi
  done
  sed -n 's/^ *project([^)]*VERSION \([0-9][0-9.]*\).*/\1/p' "$scripts_root/CMakeLists.txt" | head -n1
}

# The comment block under the shebang line, without its '#'.
print_usage() {
  awk 'NR == 1 { next } /^#/ { sub(/^# ?/, ""); print; next } { exit }' "$1"
}

# answer_help_or_version SCRIPT ARGS...: when any argument asks for help or
# the version, prints it and ends the script with status 0.
answer_help_or_version() {
  local script=$1 arg
  shift
  for arg in "$@"; do
    case $arg in
      -h | --help) print_usage "$script"; exit 0 ;;
      --version) echo "$(basename "$script") $(project_version)"; exit 0 ;;
    esac
  done
}

# as_checkout_owner COMMAND...: a script started with sudo by the user who
# owns the checkout runs COMMAND (a build step) as that user, so the build
# folder stays theirs; otherwise COMMAND runs as it is.
as_checkout_owner() {
  if [[ $(id -u) -eq 0 && -n ${SUDO_UID:-} && ${SUDO_UID} != 0 &&
        $(stat -c %u "$scripts_root") == "$SUDO_UID" ]]; then
    setpriv --reuid="$SUDO_UID" --regid="${SUDO_GID:-$SUDO_UID}" --init-groups \
      env HOME="$(getent passwd "$SUDO_UID" | cut -d: -f6)" "$@"
  else
    "$@"
  fi
}
