#!/bin/sh
# Builds the Debian package of a build tree (cpack -G DEB), unpacks it into a scratch root
# (dpkg -x) and runs the programs installed there from an empty directory: they must find their
# catalogs, sequence files and libraries relative to themselves, with nothing of the build tree.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -eu
BUILD=$1
SOURCE=$2
WORK=$(mktemp -d /tmp/ordavo-package-test.XXXXXX)
SIM=
cleanup() {
    [ -n "$SIM" ] && kill "$SIM" 2>/dev/null && wait "$SIM" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log"; fail "cpack"; }
DEB=$(ls "$WORK"/pkg/ordavo_*.deb 2>/dev/null | head -n 1)
[ -n "$DEB" ] || fail "no ordavo_*.deb in $(ls "$WORK/pkg")"

# Dependencies come from the libraries the programs link (shlibdeps).
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for lib in libc6 libxml2 libusb-1.0-0 libssl3 libsqlite3-0 libzint; do
    echo "$DEPENDS" | grep -q "$lib" || fail "Depends lacks $lib: $DEPENDS"
done
if [ -e "$BUILD/bin/ordavo" ]; then
    echo "$DEPENDS" | grep -q libqt6widgets6 || fail "Depends lacks libqt6widgets6: $DEPENDS"
fi

ROOT=$WORK/root
dpkg -x "$DEB" "$ROOT"
U=$ROOT/usr
for f in bin/ordavo-cli bin/ordavo-printer-sim lib/ordavo/libTalvMFD2ES.so lib/ordavo/libTalvMFD2RD.so \
         share/ordavo/comandos_vn.xml share/ordavo/XML/comandos_pa.xml share/ordavo/secuencia_rd.xml \
         share/ordavo/XML/secuencia_pa.xml include/talvmfd.h lib/udev/rules.d/60-ordavo-printers.rules \
         share/man/man1/ordavo-cli.1.gz share/man/man1/ordavo-printer-sim.1.gz share/doc/ordavo/copyright; do
    [ -e "$U/$f" ] || fail "not installed: /usr/$f"
done

# Found relative to the program, never through the build or source tree.
for prog in "$U"/bin/*; do
    readelf -d "$prog" | grep -E 'R(UN)?PATH' | grep -qF '$ORIGIN/../lib/ordavo' || fail "no \$ORIGIN RUNPATH in $prog"
    ! grep -qaF "$SOURCE" "$prog" || fail "$prog holds the source path $SOURCE"
    ! grep -qaF "$BUILD" "$prog" || fail "$prog holds the build path $BUILD"
done

EMPTY=$WORK/empty
mkdir "$EMPTY"
cd "$EMPTY"
unset ORDAVO_DATA_DIR ORDAVO_LIBRARY_DIR ORDAVO_CONFIG_DIR LD_LIBRARY_PATH || true
CLI=$U/bin/ordavo-cli

"$CLI" sequence list >"$WORK/out" 2>"$WORK/err" || fail "sequence list: $(cat "$WORK/err")"
grep -q "Venta completa" "$WORK/out" || fail "sequence list printed: $(cat "$WORK/out")"
grep -qF "$U/share/ordavo/secuencia_rd.xml" "$WORK/err" || fail "sequence list did not name its file: $(cat "$WORK/err")"

"$CLI" catalog >"$WORK/out" 2>"$WORK/err" || fail "catalog: $(cat "$WORK/err")"
grep -q "Leer Fecha y Hora" "$WORK/out" || fail "catalog printed: $(head -5 "$WORK/out")"

# The installed simulator, found its catalogs by itself, and a command run against it.
"$U/bin/ordavo-printer-sim" --pty "$WORK/printer" >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM=$!
i=0
while [ ! -e "$WORK/printer" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
[ -e "$WORK/printer" ] || fail "simulator did not start: $(cat "$WORK/sim.err")"
! grep -q "no sample catalogs" "$WORK/sim.err" || fail "the simulator found no catalogs"
"$CLI" run comandos_vn.xml "Leer Fecha y Hora" --port "$WORK/printer" >"$WORK/out" 2>"$WORK/err" ||
    fail "run: $(cat "$WORK/out" "$WORK/err")"
! grep -q "Error al enviar" "$WORK/out" || fail "run got no answer: $(cat "$WORK/out")"
ls "$EMPTY"/log/* >/dev/null 2>&1 || fail "no daily log written in the working directory"
# The fiscal-memory library, loaded from lib/ordavo beside the installed program.
"$CLI" fiscal serial --port "$WORK/printer" >"$WORK/out" 2>"$WORK/err" || fail "fiscal serial: $(cat "$WORK/out" "$WORK/err")"
grep -q "VE01" "$WORK/out" || fail "fiscal serial printed: $(cat "$WORK/out")"

# A program built against the installed header and pkg-config file links and runs.
if command -v pkg-config >/dev/null && command -v cc >/dev/null; then
    PC=$(find "$U/lib" -name talvmfd2es.pc | head -n 1)
    [ -n "$PC" ] || fail "no talvmfd2es.pc"
    printf '#include <talvmfd.h>\nint main(void) { return TalvDownloadMF("", "") == 0; }\n' >"$WORK/use.c"
    # shellcheck disable=SC2046
    cc -o "$WORK/use" "$WORK/use.c" $(PKG_CONFIG_PATH=$(dirname "$PC") pkg-config --cflags --libs talvmfd2es) ||
        fail "cannot build against the pkg-config file"
    "$WORK/use" || fail "the program built against the library did not run"
fi
echo "package $(basename "$DEB") installs and runs"
