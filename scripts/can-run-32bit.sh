#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 code, which Wine needs to run the shipped
# PE32 installer (through Debian's wine32:i386). Some kernels refuse it ("Exec format error");
# installing wine32 there breaks every Wine run, since its 32-bit loader is tried first.
# The probe is the smallest static 32-bit ELF: exit(42) through int 0x80.
set -u
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' > "$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[ $? -eq 42 ]
