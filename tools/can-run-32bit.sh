#!/usr/bin/env bash
# Prints "yes" when this machine executes 32-bit x86 Linux programs, else "no". Some
# virtual machines refuse them ("Exec format error"); 32-bit Wine cannot start there.
# The probe is a minimal i386 ELF program that exits with status 42, written here so
# that no 32-bit toolchain or library is needed to ask.
set -u
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
python3 - "$probe" <<'PY'
import struct, sys
code = bytes([0xB8, 1, 0, 0, 0,      # mov eax, 1 (exit)
              0xBB, 42, 0, 0, 0,     # mov ebx, 42
              0xCD, 0x80])           # int 0x80
base, header_size, entry_size = 0x08048000, 52, 32
size = header_size + entry_size + len(code)
header = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
header += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + header_size + entry_size,
                      header_size, 0, 0, header_size, entry_size, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], "wb") as out:
    out.write(header + segment + code)
PY
chmod +x "$probe"
"$probe" 2>/dev/null
if [ $? -eq 42 ]; then echo yes; else echo no; fi
