; ID locations and data EEPROM without any program words.
        LIST    P=16F84, F=INHX8M
        include "P16FXX.inc"

        __IDLOCS 0x0C0D
        ORG     0x2100
        DE      0x01, 0x7F, 0x80, 0xFE
        END
