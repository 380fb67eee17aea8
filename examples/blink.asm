; SPDX-License-Identifier: GPL-3.0-or-later
; blink.asm - flashes an LED on RB0 of a PIC 16F84 at about 2 Hz with a 4 MHz crystal,
; and counts the flashes into data EEPROM location 0. The example that the README's first
; command programs, verifies and reads back on the virtual programmer.
;
; Build: gpasm -a inhx8m -o blink.hex blink.asm

        processor 16f84
        radix   hex

STATUS  equ     0x03
PORTB   equ     0x06
TRISB   equ     0x06            ; in bank 1
EEDATA  equ     0x08
EEADR   equ     0x09
EECON1  equ     0x08            ; in bank 1
EECON2  equ     0x09            ; in bank 1
RP0     equ     5
RD      equ     0
WR      equ     1
WREN    equ     2

count1  equ     0x0C
count2  equ     0x0D
flashes equ     0x0E

        __config 0x3FF1         ; XT oscillator, power-up timer on, watchdog off, no protection
        __idlocs 0x1234

        org     0x000
        goto    start

        org     0x005
start   bsf     STATUS, RP0
        clrf    TRISB           ; port B all outputs
        bcf     STATUS, RP0
        clrf    PORTB
        clrf    EEADR           ; carry on counting from what the EEPROM holds
        bsf     STATUS, RP0
        bsf     EECON1, RD
        bcf     STATUS, RP0
        movf    EEDATA, W
        movwf   flashes

loop    bsf     PORTB, 0
        call    wait
        bcf     PORTB, 0
        call    wait
        incf    flashes, F
        call    store
        goto    loop

; About 250 ms at 1 us per instruction.
wait    movlw   d'250'
        movwf   count1
outer   movlw   d'249'
        movwf   count2
inner   nop
        decfsz  count2, F
        goto    inner
        decfsz  count1, F
        goto    outer
        return

; Writes the flash count to EEPROM location 0 with the unlock sequence.
store   clrf    EEADR
        movf    flashes, W
        movwf   EEDATA
        bsf     STATUS, RP0
        bsf     EECON1, WREN
        movlw   0x55
        movwf   EECON2
        movlw   0xAA
        movwf   EECON2
        bsf     EECON1, WR
        bcf     EECON1, WREN
        bcf     STATUS, RP0
        return

        org     0x2100          ; data EEPROM: the flash count, then a name
        de      0x00, "Kestrum"

        end
