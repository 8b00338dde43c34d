#!/usr/bin/env bash
# Prints the preset whose Windows programs this machine can run: win32 where it
# runs 32-bit code itself, else win64 (the same sources built for x86_64, run
# under 64-bit Wine). 32-bit code run through a user-mode emulator does not
# count: Wine does not work under it.
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
  echo win64
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo win32
else
  echo win64
fi
