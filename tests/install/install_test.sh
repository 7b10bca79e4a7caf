#!/bin/sh
# Installs a built tree into a temporary prefix and uses the installation
# from outside, as another project would: a program found through
# find_package(RUDID32), one built with pkg-config, and the installed rudid32
# tool. Each must reach the installed tables through the ZAREVIRU.INI that
# the installation writes beside the library.
#
# install_test.sh BUILD_DIR GENERATOR C_COMPILER LIBDIR INCLUDEDIR BINDIR DATADIR
# (the last four relative to the prefix, as configured in the build).
set -eu
build=$1 generator=$2 cc=$3 libdir=$4 includedir=$5 bindir=$6 datadir=$7

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
unset ZAREVIRU_INI RUDID32_LIBRARY
failures=0

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

expect_file() {
    [ -f "$1" ] || fail "missing $1"
}

# A saturation temperature at 10 bar as printed by a consumer: the data
# directory the library read, then the temperature in C.
check_consumer_output() {
    what=$1 output=$2
    directory=${output% *} temperature=${output##* }
    [ "$directory" = "$prefix/$datadir/rudid32/" ] || fail "$what read the tables in '$directory'"
    awk -v t="$temperature" 'BEGIN { exit !(t > 179.8 && t < 180.0) }' ||
        fail "$what printed '$temperature', not the saturation temperature at 10 bar"
}

cmake --install "$build" --prefix "$prefix" > "$work/install.log"

for file in "$libdir/libRUDID32.so" "$libdir/libRUDID32.so.1" "$includedir/rudid32.h" "$bindir/rudid32" \
            "$datadir/rudid32/zarude.dat" "$datadir/rudid32/vevuzu.dat" "$datadir/rudid32/didizar.dat" \
            "$datadir/rudid32/default.cfg" "$libdir/cmake/RUDID32/RUDID32Config.cmake" \
            "$libdir/cmake/RUDID32/RUDID32ConfigVersion.cmake" "$libdir/pkgconfig/rudid32.pc" \
            "$datadir/rudid32/pascal/rudid32.pas"; do
    expect_file "$prefix/$file"
done
grep -qx "DIR=$prefix/$datadir/rudid32" "$prefix/$libdir/ZAREVIRU.INI" ||
    fail "ZAREVIRU.INI does not name the installed data directory: $(cat "$prefix/$libdir/ZAREVIRU.INI")"

cat > "$work/consumer.c" <<'C'
#include <stdio.h>

#include "rudid32.h"

int main(void) {
    const double *t = AQPPT(10.0);
    if (!t) {
        fprintf(stderr, "%s (%d)\n", RudidLastErrorMessage(), RudidLastError());
        return 1;
    }
    printf("%s %.6f\n", RudidDataDirectory(), *t);
    return 0;
}
C

# find_package
mkdir "$work/cmake-consumer"
cp "$work/consumer.c" "$work/cmake-consumer/"
cat > "$work/cmake-consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(RUDID32 1 REQUIRED)
add_executable(consumer consumer.c)
target_link_libraries(consumer PRIVATE RUDID32::RUDID32)
file(WRITE ${CMAKE_BINARY_DIR}/data_dir.txt "${RUDID32_DATA_DIR}")
CMAKE
if cmake -S "$work/cmake-consumer" -B "$work/cmake-build" -G "$generator" -DCMAKE_C_COMPILER="$cc" \
        -DCMAKE_PREFIX_PATH="$prefix" > "$work/cmake.log" 2>&1 &&
   cmake --build "$work/cmake-build" >> "$work/cmake.log" 2>&1; then
    check_consumer_output "the find_package consumer" "$("$work/cmake-build/consumer")"
    [ "$(cat "$work/cmake-build/data_dir.txt")" = "$prefix/$datadir/rudid32" ] ||
        fail "RUDID32_DATA_DIR is $(cat "$work/cmake-build/data_dir.txt")"
else
    cat "$work/cmake.log" >&2
    fail "the find_package consumer did not build"
fi

# find_package in the case of the pkg-config name finds the same package.
mkdir "$work/lower-consumer"
cp "$work/consumer.c" "$work/lower-consumer/"
sed -e 's/find_package(RUDID32 1 REQUIRED)/find_package(rudid32 1 REQUIRED)/' \
    -e 's/RUDID32_DATA_DIR/rudid32_DATA_DIR/' "$work/cmake-consumer/CMakeLists.txt" \
    > "$work/lower-consumer/CMakeLists.txt"
if cmake -S "$work/lower-consumer" -B "$work/lower-build" -G "$generator" -DCMAKE_C_COMPILER="$cc" \
        -DCMAKE_PREFIX_PATH="$prefix" > "$work/lower.log" 2>&1 &&
   cmake --build "$work/lower-build" >> "$work/lower.log" 2>&1; then
    check_consumer_output "the find_package(rudid32) consumer" "$("$work/lower-build/consumer")"
else
    cat "$work/lower.log" >&2
    fail "find_package(rudid32) in lower case did not find the package"
fi

# pkg-config: the flags alone make a program that starts from the
# installed prefix, with no LD_LIBRARY_PATH to find the library.
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
if "$cc" "$work/consumer.c" -o "$work/pc-consumer" $(pkg-config --cflags --libs rudid32); then
    check_consumer_output "the pkg-config consumer" "$(env -u LD_LIBRARY_PATH "$work/pc-consumer")"
else
    fail "the pkg-config consumer did not build"
fi

# The installed tool finds the installed library and tables by itself.
output=$("$prefix/$bindir/rudid32" AQPPT 10) || fail "the installed rudid32 failed"
case $output in 179.8*" C") ;; *) fail "the installed rudid32 printed '$output'" ;; esac

# Installing again keeps the user's choice of units.
"$prefix/$bindir/rudid32" units set --installation temperature K > /dev/null
cmake --install "$build" --prefix "$prefix" > "$work/install.log"
case $("$prefix/$bindir/rudid32" AQPPT 10) in *" K") ;; *) fail "reinstalling replaced default.cfg" ;; esac

# Staged installation: the INI and the pkg-config file name the final
# place, not the staging directory.
DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/rudid32-test > "$work/install.log"
grep -qx "DIR=/opt/rudid32-test/$datadir/rudid32" "$work/stage/opt/rudid32-test/$libdir/ZAREVIRU.INI" ||
    fail "the staged ZAREVIRU.INI names the wrong directory"
grep -qx "prefix=/opt/rudid32-test" "$work/stage/opt/rudid32-test/$libdir/pkgconfig/rudid32.pc" ||
    fail "the staged rudid32.pc names the wrong prefix"

# A Pascal program compiled against the installed unit and library: the
# refined answer in a context of its own, and its flags.
if command -v fpc >/dev/null 2>&1; then
    mkdir -p "$work/pascal"
    cat > "$work/pascal/consumer.pas" <<'PAS'
program consumer;
uses rudid32;
var context: Pointer; p, t, h: Double; failure, flags: LongInt;
begin
  context := RudidOpen(nil, 'pressure=bar, temperature=C, enthalpy=kJ/kg', RUDID_REFINED);
  if context = nil then begin WriteLn(RudidContextMessage(nil)); Halt(1); end;
  p := 6.3; t := 161;
  if RudidContextEvaluate(context, 'AQPPTH', 0, 1, @p, @t, @h, @failure, @flags) <> 0 then Halt(2);
  WriteLn(h:0:1, ' ', flags);
  RudidClose(context);
end.
PAS
    if fpc -Fu"$prefix/$datadir/rudid32/pascal" -Fl"$prefix/$libdir" -FE"$work/pascal" \
        "$work/pascal/consumer.pas" > "$work/pascal/fpc.log" 2>&1; then
        output=$(LD_LIBRARY_PATH="$prefix/$libdir" "$work/pascal/consumer")
        case $output in 275[0-9].*" 0") ;; *) fail "the Pascal consumer printed '$output'" ;; esac
    else
        fail "the installed Pascal unit does not compile: $(tail -5 "$work/pascal/fpc.log")"
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "installation used from outside: find_package, pkg-config, the tool, reinstall, DESTDIR"
