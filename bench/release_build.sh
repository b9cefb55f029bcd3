# Sourced by the bench scripts with $build set to a Release build folder, or
# empty to build ./build. Leaves $build absolute and $work a scratch folder
# that is removed at exit.
if [[ -z "$build" ]]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j3 --target korvex korvex-tables >/dev/null
    build=build
fi
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
