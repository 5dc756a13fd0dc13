#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds examples/c against it twice, through
# find_package and through pkg-config, and runs both programs.
# usage: install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER
set -euo pipefail
readonly build_dir=$1 source_dir=$2 cc=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/varbex-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
readonly prefix=$scratch/prefix

fail() { printf 'install_test: %s\n' "$*" >&2; exit 1; }

# Both consumers pack one item into box B1; anything else means the library did not answer.
check_output() {
  local what=$1 output=$2
  [[ $output == '{"boxes":[{"box_index":0,"box_reference":"B1",'* ]] || fail "$what printed: $output"
  [[ $output == *'"success":true'* ]] || fail "$what did not place its item: $output"
}

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

for file in include/varbex.h include/varbex_insights.h bin/varbex; do
  [[ -e $prefix/$file ]] || fail "missing $file"
done
library=$(find "$prefix" -name 'libvarbex.so.*.*.*' | head -n 1)
[[ -n $library ]] || fail "no versioned libvarbex.so under $prefix"
soname=$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')
[[ $soname =~ ^libvarbex\.so\.[0-9]+$ ]] || fail "unexpected SONAME '$soname'"
"$prefix/bin/varbex" --version | grep -q '^varbex [0-9]' || fail "installed tool does not run"
insights=$(find "$prefix" -name 'libvarbex_insights.so.*.*.*' | head -n 1)
[[ -n $insights ]] || fail "no versioned libvarbex_insights.so under $prefix"
[[ $(objdump -p "$insights" | awk '$1 == "SONAME" { print $2 }') =~ ^libvarbex_insights\.so\.[0-9]+$ ]] ||
  fail "unexpected SONAME of $insights"

cmake -S "$source_dir/examples/c" -B "$scratch/with-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$scratch/with-cmake" >/dev/null
check_output "the find_package consumer" "$("$scratch/with-cmake/consumer")"

pc_dir=$(dirname "$(find "$prefix" -name varbex.pc)")
export PKG_CONFIG_PATH=$pc_dir
# shellcheck disable=SC2046 # pkg-config prints one flag per word
"$cc" -o "$scratch/with-pkg-config" "$source_dir/examples/c/main.c" $(pkg-config --cflags --libs varbex)
check_output "the pkg-config consumer" \
  "$(LD_LIBRARY_PATH="$(pkg-config --variable=libdir varbex)" "$scratch/with-pkg-config")"
echo "install_test: installed package works with find_package and pkg-config"
