#!/bin/sh
# Gives an installed program cap_net_bind_service, so it can listen on the
# DHCP port without running as root. Called by `cmake --install` when
# PELMAR_GRANT_BIND_CAPABILITY is on.
#
#   grant-bind-capability.sh PROGRAM [DESTDIR]
#
# A staged install (DESTDIR set) only says what the package must do: file
# capabilities rarely survive packing.
set -eu

program=$1
destdir=${2:-}

if [ -n "$destdir" ]; then
  echo "-- Staged install: grant the capability after unpacking:" \
       "setcap cap_net_bind_service=+ep ${program#"$destdir"}"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "grant-bind-capability: only root can set file capabilities" >&2
  exit 1
fi
if ! command -v setcap >/dev/null 2>&1; then
  echo "grant-bind-capability: setcap not found (Debian package libcap2-bin)" >&2
  exit 1
fi

# A privileged program is only as safe as every folder on its way: whoever
# can replace it, or the library it loads, gets the capability. Each folder
# must belong to root and be writable by nobody else (sticky folders such as
# /tmp excepted: others cannot rename root's entries there).
check_owned_by_root() {
  path=$1
  while :; do
    read -r owner mode <<EOF_STAT
$(stat -L -c '%u %a' "$path")
EOF_STAT
    if [ "$owner" -ne 0 ]; then
      echo "grant-bind-capability: $path is not owned by root" >&2
      return 1
    fi
    mode=$((0$mode))
    if [ $((mode & 022)) -ne 0 ] && { [ ! -d "$path" ] || [ $((mode & 01000)) -eq 0 ]; }; then
      echo "grant-bind-capability: $path is writable by others than root" >&2
      return 1
    fi
    [ "$path" = / ] && return 0
    path=$(dirname "$path")
  done
}

program=$(readlink -f "$program")
check_owned_by_root "$program"
# The folders the loader will search for the program's libraries.
runpath=$(readelf -d "$program" 2>/dev/null |
  sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p' | tr ':' ' ')
for folder in $runpath; do
  case $folder in
    *'$ORIGIN'*)
      echo "grant-bind-capability: $program loads from $folder;" \
           "\$ORIGIN is not expanded for a program with capabilities" >&2
      exit 1 ;;
  esac
  if [ ! -d "$folder" ]; then
    echo "grant-bind-capability: $program loads from $folder, which does not exist;" \
         "(install the library first, and configure with CMAKE_INSTALL_PREFIX set to where you install)" >&2
    exit 1
  fi
  check_owned_by_root "$folder"
done

setcap cap_net_bind_service=+ep "$program"
echo "-- Granted: $(getcap "$program")"
