; Toggles PB0 of an AT90S2313 and keeps three bytes in the data EEPROM.
.device AT90S2313
.cseg
.org 0
        ldi     r16, 0x01
        out     0x17, r16       ; DDRB
loop:   in      r17, 0x18       ; PORTB
        eor     r17, r16
        out     0x18, r17
        rjmp    loop
.eseg
.org 0
        .db     0x11, 0x22, 0x33
