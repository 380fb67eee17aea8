#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Rebuilds the test files in this folder from the sources beside them with real tools:
# gpasm (gputils), avra and srec_cat (srecord). The outputs are committed; run this only to
# remake them.
set -eu
cd "$(dirname "$0")"
out=$(pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp blink84.asm blink508.asm blink2313.asm "$tmp"/
cd "$tmp"

# gpasm names its output after -o with the extension replaced by .hex.
gpasm -n -a inhx8m -o blink84.hex blink84.asm && mv blink84.hex "$out"/blink84.hex     # CR LF lines
gpasm -a inhx16 -o blink84.hex blink84.asm && mv blink84.hex "$out"/blink84.h16        # word addresses
gpasm -a inhx32 -o blink84.hex blink84.asm && mv blink84.hex "$out"/blink84_inhx32.hex # type 04 first
gpasm -a inhx8m -o blink508.hex blink508.asm && mv blink508.hex "$out"/blink508.hex

# Program and EEPROM files of the AVR assembler; the program file starts with a type 02 record.
avra -o blink2313.hex -e blink2313.eep.hex blink2313.asm >/dev/null
mv blink2313.hex blink2313.eep.hex "$out"/

cd "$out"
# The same 16F84 image as Motorola S-records with an S0 header, and as Intel HEX with type 02
# (extended segment address) records.
srec_cat blink84.hex -intel -o blink84.s19 -motorola -header blink84
srec_cat blink84.hex -intel -o blink84_i16hex.hex -intel -address-length=3
# The byte address space of the 16F84 image as a raw binary: program at 0, configuration area
# at 0x4000, data EEPROM at 0x4200; holes erased.
srec_cat blink84.hex -intel -fill 0xFF 0 0x4280 -o blink84.bin -binary
# 100 bytes of text for a 256-byte EEPROM.
srec_cat -generate 0 100 -repeat-string 'Kestrum test data. ' -o text100.bin -binary
