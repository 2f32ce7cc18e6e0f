#!/usr/bin/env bash
# The lint checks (CTest label "lint"), one tool per call. Each prints its findings as
# file:line:col: text and fails on any finding, and also when its tool is missing:
#
#   check_lint.sh clang-tidy SOURCE_DIR WIN32_BUILD_DIR   the shipped C and C++ code with the root
#                                                         .clang-tidy, as the Windows build compiles it
#   check_lint.sh shellcheck SOURCE_DIR                   every shell script, severity warning and up
#   check_lint.sh pyflakes SOURCE_DIR                     every Python file
#
# Files are checked side by side, one per core.
set -euo pipefail
tool=$1
cd "$2"
jobs=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The shipped code: these folders, less their tests/.
shipped=(bounded_text driver_registration program_common app_framework setup uninstall support)

need() {
  if ! command -v "$1" >/dev/null; then
    echo "lint: $1 is not installed (scripts/install-deps.sh installs it)"
    exit 1
  fi
}

# Runs `COMMAND... FILE` for each file named on stdin, side by side, the largest files first; its
# output goes to $work/out/<n> and its exit code to $work/rc/<n>, n the file's place in the list.
each_file() {
  mkdir -p "$work/out" "$work/rc"
  local n file
  # shellcheck disable=SC2016  # the script's own variables, for the inner bash
  nl -w1 -s' ' | while read -r n file; do echo "$(stat -c %s "$file") $n $file"; done |
    sort -rn | cut -d' ' -f2- | xargs -P "$jobs" -L 1 bash -c \
    'n=${*: -2:1}; "${@:1:$#-2}" "${@: -1}" >"$0/out/$n" 2>&1; echo $? >"$0/rc/$n"' "$work" "$@"
}

# The findings into $work/findings, each once and in the order of the list: what FILTER keeps
# of each file's output. A run that failed with nothing kept shows all it said, or its exit code.
gather() {  # TOOL FILTER...
  local n=0 file rc
  while read -r file; do
    n=$((n + 1))
    rc=$(cat "$work/rc/$n")
    "${@:2}" <"$work/out/$n" >"$work/kept" || true
    if [ "$rc" != 0 ] && [ ! -s "$work/kept" ]; then
      grep -Ev '^[0-9]+ (warning|error)s?( and [0-9]+ errors?)? generated\.$' "$work/out/$n" \
        >"$work/kept" ||
        echo "$file: $1 ended with exit code $rc" >"$work/kept"
    fi
    cat "$work/kept"
  done <"$work/files" | sed "s|$PWD/||" | awk '!seen[$0]++' >"$work/findings"
}

# Fails with the findings, or passes with "TOOL: N files, no findings".
verdict() {  # TOOL
  local count
  count=$(wc -l <"$work/files")
  if [ -s "$work/findings" ]; then
    cat "$work/findings"
    echo "$1: the findings above, in $count files checked"
    exit 1
  fi
  echo "$1: $count files, no findings"
}

lint_clang_tidy() {
  need clang-tidy
  local db=$1/compile_commands.json
  if [ ! -f "$db" ]; then
    echo "lint: no $db (build the host preset first)"
    exit 1
  fi
  # The Windows build's commands for clang: GCC's own options that clang does not take left out,
  # and the target and the C++ headers of the MinGW-w64 compiler given.
  sed -E 's/ -(malign-data=[a-z]+|flto=[a-z]+|fno-fat-lto-objects|fno-tree-loop-distribute-patterns|mpreferred-stack-boundary=[0-9]+|fno-inline-functions-called-once|fno-shrink-wrap)\b//g' \
    "$db" >"$work/compile_commands.json"
  local compiler args=(--quiet -p "$work" --extra-arg=--target=i686-w64-mingw32)
  compiler=$(grep -om1 '"command": "[^ ]*' "$db" | sed 's/.*"//')
  while read -r dir; do
    args+=("--extra-arg=-isystem$dir")
  done < <("$compiler" -E -x c++ -v - </dev/null 2>&1 | sed -n 's|^ \(/.*/c++.*\)|\1|p')
  local filter
  filter="$PWD/($(IFS='|'; echo "${shipped[*]}"))/[^/]*\\.h\$"
  args+=("--header-filter=$filter")

  git ls-files "${shipped[@]/%//*.c}" "${shipped[@]/%//*.cpp}" | grep -v '/tests/' >"$work/files"
  # A file the Windows build does not compile would go unchecked.
  local file missing=0
  while read -r file; do
    if ! grep -q "\"file\": \"$PWD/$file\"" "$db"; then
      echo "$file: not compiled by the Windows build, so not checked"
      missing=1
    fi
  done <"$work/files"
  [ $missing = 0 ] || exit 1

  each_file clang-tidy "${args[@]}" <"$work/files"
  # The finding lines alone (a header's come once per file that includes it); the whole output,
  # with each finding's notes and source lines, in the log.
  gather clang-tidy grep -E '^/.*:[0-9]+:[0-9]+: (warning|error):'
  cat "$work"/out/* >"$1/clang-tidy.log"
  [ ! -s "$work/findings" ] || echo "(notes and source lines: $1/clang-tidy.log)" >>"$work/findings"
  verdict clang-tidy
}

lint_shellcheck() {
  need shellcheck
  git ls-files '*.sh' .ci/run >"$work/files"
  each_file shellcheck --severity=warning --format=gcc <"$work/files"
  gather shellcheck cat
  verdict shellcheck
}

lint_pyflakes() {
  need pyflakes3
  git ls-files '*.py' >"$work/files"
  each_file pyflakes3 <"$work/files"
  gather pyflakes cat
  verdict pyflakes
}

case $tool in
  clang-tidy) lint_clang_tidy "$3" ;;
  shellcheck) lint_shellcheck ;;
  pyflakes) lint_pyflakes ;;
  *) echo "lint: unknown tool $tool" >&2; exit 2 ;;
esac
