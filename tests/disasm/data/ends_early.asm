; Calls and jumps to addresses past the last instruction and past program memory, with ID
; locations and a single data byte.
        LIST    P=16F84, F=INHX8M
        include "P16FXX.inc"
        __CONFIG 0x3FFB

        ORG     0
        CALL    after
        GOTO    0x7FF
        CALL    0x400
here    GOTO    here
after

        ORG     0x2000
        DATA    0x00, 0x7F, 0x0F, 0xFF
        ORG     0x2100
        DE      0xA5
        END
