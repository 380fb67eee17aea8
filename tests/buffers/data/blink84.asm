; Blinks an LED on RB0 of a PIC 16F84 and keeps two bytes in the data EEPROM.
        list    p=16f84
        __config 0x3FF1         ; XT oscillator, watchdog off, power-up timer on, no code protection
        __idlocs 0x1234         ; one hexadecimal digit per ID word: 1, 2, 3, 4

count   equ     0x0C

        org     0
start   bsf     0x03, 5         ; bank 1
        bcf     0x06, 0         ; RB0 output
        bcf     0x03, 5
loop    movlw   0x01
        xorwf   0x06, f
        decfsz  count, f
        goto    $-1
        goto    loop

        org     0x2100
        de      0x12, 0x34, 0xA5
        end
