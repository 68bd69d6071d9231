#!/usr/bin/env bash
# check-image.sh EXE OBJDUMP: the shipped Configurator.exe is what the boards' machines can start:
# a 32-bit x86 image (machine 0x14c) for the Windows GUI subsystem version 5.00 (Windows 2000),
# stripped, at most 528 KiB, linked to system DLLs only (DirectDraw is looked up at run time), and
# with a manifest whose every assembly identity (the program's and the common controls') is x86.
set -u
exe=$1
objdump=$2
failures=0
fail() { echo "check-image: $*"; failures=$((failures + 1)); }

[ -f "$exe" ] || { echo "check-image: no such file: $exe"; exit 2; }

# The machine field follows the "PE\0\0" signature, whose offset is at 0x3c.
pe=$(od -An -tu4 -j 60 -N 4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j $((pe + 4)) -N 2 "$exe" | tr -d ' ')
[ "$machine" = "014c" ] || fail "machine is 0x$machine, not 0x014c (x86)"

headers=$("$objdump" -p "$exe")
subsystem=$(echo "$headers" | awk '/^MajorSubsystemVersion/ {major=$2} /^MinorSubsystemVersion/ {minor=$2}
                                  END {print major "." minor}')
[ "$subsystem" = "5.0" ] || fail "subsystem version is $subsystem, not 5.0"
echo "$headers" | grep -q '^Subsystem.*Windows GUI' || fail "not a Windows GUI program"

bad_dlls=$(echo "$headers" | sed -n 's/^\s*DLL Name: *//p' | grep -iE '^(libstdc|libgcc|libwinpthread|ddraw)')
[ -z "$bad_dlls" ] || fail "imports from $(echo $bad_dlls)"

"$objdump" -t "$exe" | grep -q '^no symbols' || fail "carries a symbol table (not stripped)"
"$objdump" -h "$exe" | grep -q '\.debug' && fail "carries debug sections"

size=$(stat -c %s "$exe")
# 528 KiB: the per-game launcher (/run) took the image from 397,824 to 443,904 bytes; the checks
# of the restore record, reset, the registry's adapters for Safe Mode and the atomic export to
# 492,032; ~10% room.
[ "$size" -le $((528 * 1024)) ] || fail "is $size bytes, more than 528 KiB"

# The manifest is stored as plain text in the resource section.
identities=$(tr '\r\n' '  ' <"$exe" | grep -ao '<assemblyIdentity[^>]*>' | tr -s ' ')
[ "$(echo "$identities" | grep -c .)" -eq 2 ] || fail "manifest has not two assembly identities: $identities"
echo "$identities" | grep -v 'processorArchitecture="x86"' | grep -q . &&
  fail "manifest names an architecture other than x86: $identities"

[ $failures -eq 0 ] && echo "check-image: $exe: x86, subsystem 5.0, stripped, $size bytes, manifest x86"
[ $failures -eq 0 ]
