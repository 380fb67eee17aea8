#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Assembles the smartcard boot loader with gpasm (gputils) into boot_loader.hex beside its
# source; the HEX file is committed and embedded by the build. The listing (boot_loader.lst)
# shows each instruction's address and word next to the source. Run after editing the source;
# a test checks that the committed HEX is what gpasm makes of it.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
gpasm -a inhx8m -o "$tmp/boot_loader.hex" boot_loader.asm
mv "$tmp/boot_loader.hex" boot_loader.hex
echo "boot_loader.hex: $(grep -c '' boot_loader.hex) records"
