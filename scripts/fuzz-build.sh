# Sourced by the fuzz scripts: builds the given targets with clang (libFuzzer, AddressSanitizer,
# UBSan) in the fuzzers' own build directory, $build.
build=build/fuzz
fuzz_build() {
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCONFIGURATOR_FUZZ=ON >/dev/null
  cmake --build "$build" --target "$@" -j2
}
