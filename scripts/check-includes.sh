#!/usr/bin/env bash
# Holds the tree to its map (see README): fails when
#  - tools/ or dhcp/ include anything under pelmar/, or host/ anything under
#    pelmar/, tools/ or dhcp/,
#  - pelmar/, host/, dhcp/ or tools/ include a library file other than mdsp.h,
#  - two folders of mdsp/ include each other, directly or through others,
#  - two headers anywhere in the tree share a file name.
# Quoted includes are resolved as the compiler would find them here: beside
# the including file first, then by bare name or path ending through the
# tree. Usage: check-includes.sh [SOURCE_ROOT]
set -euo pipefail
shopt -s extglob
root="$(cd "${1:-$(dirname "${BASH_SOURCE[0]}")/..}" && pwd)"
cd "$root"

problems=0
problem() {
  echo "check-includes: $*" >&2
  problems=$((problems + 1))
}

# Every header and source of the tree, build folders and hidden ones left out.
mapfile -t files < <(find . \( -path './build*' -o -path './.*' \) -prune -o -type f \
  \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cpp' \) -print | sed 's|^\./||' | sort)
[[ ${#files[@]} -gt 0 ]] || { echo "check-includes: no sources under $root" >&2; exit 2; }

declare -A header_at   # file name -> path, for bare-name includes
declare -A is_file
for f in "${files[@]}"; do
  is_file[$f]=1
  case $f in
    *.h | *.hpp)
      name=${f##*/}
      if [[ -n ${header_at[$name]:-} ]]; then
        problem "two headers named $name: ${header_at[$name]} and $f"
      else
        header_at[$name]=$f
      fi
      ;;
  esac
done

# a/./b/../c -> a/c into $normal; no subshell, so no process per include.
normal() {
  local part out=()
  local IFS=/
  for part in $1; do
    case $part in
      '' | .) ;;
      ..) ((${#out[@]})) && unset 'out[-1]' ;;
      *) out+=("$part") ;;
    esac
  done
  normal="${out[*]}"
}

# The path an include names into $resolved, or "" when it is not in the tree
# (a system header).
resolve() {
  local from=$1 name=$2 dir f
  dir=${from%/*}
  [[ $dir == "$from" ]] && dir=.
  normal "$dir/$name"
  resolved=$normal
  [[ -n ${is_file[$resolved]:-} ]] && return
  resolved=""
  if [[ $name != */* ]]; then
    resolved=${header_at[$name]:-}
    return
  fi
  for f in "${files[@]}"; do
    if [[ $f == */"$name" || $f == "$name" ]]; then
      resolved=$f
      return
    fi
  done
}

declare -A reaches  # "a b" -> 1 when mdsp folder a includes a file of folder b
mdsp_folders=()
for f in "${files[@]}"; do
  case $f in
    mdsp/* | host/* | pelmar/* | dhcp/* | tools/* | display_text/* | versioning/*) ;;
    *) continue ;;
  esac
  while IFS= read -r name; do
    resolve "$f" "$name"
    target=$resolved
    [[ -n $target ]] || continue
    if [[ ($f == tools/* || $f == dhcp/*) && $target == pelmar/* ]]; then
      problem "$f includes $target: only the GUI itself uses the GUI"
    fi
    if [[ $f == host/* && $target == @(pelmar|tools|dhcp)/* ]]; then
      problem "$f includes $target: the host core lies below the programs that use it"
    fi
    case $f in
      pelmar/* | host/* | dhcp/* | tools/*)
        if [[ $target == mdsp/* && $target != mdsp/include/mdsp.h ]]; then
          problem "$f includes $target: only mdsp.h is the library's door"
        fi
        ;;
    esac
    if [[ $f == mdsp/* && $target == mdsp/* ]]; then
      a=${f%/*} b=${target%/*}
      if [[ $a != "$b" ]]; then
        reaches["$a $b"]=1
        mdsp_folders+=("$a" "$b")
      fi
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$f")
done

# Folder-level loops in mdsp/: close the relation, then look for pairs that
# reach each other.
mapfile -t mdsp_folders < <(printf '%s\n' "${mdsp_folders[@]}" | sort -u | sed '/^$/d')
for k in "${mdsp_folders[@]}"; do
  for i in "${mdsp_folders[@]}"; do
    [[ -n ${reaches["$i $k"]:-} ]] || continue
    for j in "${mdsp_folders[@]}"; do
      [[ -n ${reaches["$k $j"]:-} ]] && reaches["$i $j"]=1
    done
  done
done
for i in "${mdsp_folders[@]}"; do
  for j in "${mdsp_folders[@]}"; do
    if [[ $i < $j && -n ${reaches["$i $j"]:-} && -n ${reaches["$j $i"]:-} ]]; then
      problem "$i/ and $j/ include each other"
    fi
  done
done

if ((problems > 0)); then
  echo "check-includes: $problems problem(s)" >&2
  exit 1
fi
echo "check-includes: ${#files[@]} files, no include against the map"
