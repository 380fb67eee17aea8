; Bank switching, calls and jumps in both directions, ID locations, configuration word and
; data EEPROM with a 0x7F byte between used bytes.
        LIST    P=16F84, F=INHX8M
        include "P16FXX.inc"
        __CONFIG 0x3FF1
        __IDLOCS 0x12AB

        ORG     0
        GOTO    start
        ORG     4
isr     BCF     INTCON, T0IF
        BCF     INTCON, 6
        BTFSC   INTCON, GIE
        RETFIE
        RETFIE
start   BSF     STATUS, RP0
        MOVLW   0x0F
        MOVWF   TRISA
        CLRF    TRISB
        MOVLW   0x87
        MOVWF   OPTION_REG
        BSF     OPTION_REG, PSA
        BCF     OPTION_REG, NOT_RBPU
        BSF     EECON1, 0
        MOVWF   EECON2
        MOVF    0x00, W
        BCF     STATUS, RP0
        CLRF    PORTB
        MOVF    PORTA, W
        ANDLW   0x0F
        CALL    table
loop    MOVWF   PORTB
        INCF    0x0C, F
        DECFSZ  0x0D, F
        GOTO    loop
        BTFSS   STATUS, Z
        GOTO    loop
        CALL    delay
        SWAPF   0x0E, W
        ADDWF   0x0F, F
        ANDWF   0x10, W
        IORWF   EEDATA, F
        XORWF   EEADR, W
        SUBWF   PCLATH, F
        COMF    FSR, F
        DECF    INDF, W
        RLF     0x20, F
        RRF     0x21, W
        INCFSZ  0x22, F
        MOVWF   0x4F
        ADDLW   0x10
        IORLW   0x80
        XORLW   0x55
        SUBLW   0x01
        BSF     STATUS, C
        BCF     STATUS, DC
        BSF     STATUS, IRP
        BTFSC   STATUS, NOT_TO
        BTFSS   PORTB, 7
        BCF     TMR0, 3
        BSF     0x30, 1
        SLEEP
        GOTO    start
table   ADDWF   PCL, F
        RETLW   0x3F
        RETLW   0x06
        RETLW   0x5B
delay   MOVLW   0xFF
        MOVWF   0x0C
wait    DECFSZ  0x0C, F
        GOTO    wait
        CLRWDT
        NOP
        RETURN

        ORG     0x2100
        DE      0x12, 0x34, 0x7F, 0x56, "Hi", 0x00
        END
