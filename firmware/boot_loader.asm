; SPDX-License-Identifier: GPL-3.0-or-later
; The smartcard boot loader: a PIC 16F84 or 16C84 program that lets a serial card reader load
; and read the 24C16 EEPROM on the card. It answers a reset with 11 bytes and then serves two
; commands, each a 5-byte header from the reader:
;
;   CA 21 hh ll nn   read nn bytes (1..16) from EEPROM address hhll
;   CA 20 hh ll nn   write nn bytes to EEPROM address hhll (within one 16-byte page)
;
; The card answers the header with the procedure byte (the instruction byte again), then the
; data go their way (nn bytes to the reader for a read, from it for a write), and the card ends
; with the two status bytes 90 00. Any other class gives 6E 00, any other instruction 6D 00,
; a length of 0 or above 16 gives 67 00, each instead of the procedure byte, so the reader sees
; at once that the command was refused; so does 65 81 from a card whose EEPROM does not
; answer. A write the EEPROM does not complete ends with 65 81 as its status.
;
; Wiring (the common PIC + 24C16 cards):
;   RB7  card contact I/O: the half-duplex serial line, pulled up in the reader
;   RB6  card contact CLK (also on OSC1): left an input, always
;   RB4  24C16 SCL, RB5 24C16 SDA, both with pull-ups on the card
;   MCLR card contact RST (the reader holds it low while RTS is set)
;
; Lines are only ever pulled low or released: PORTB's latch is cleared once at reset and never
; written again, and a line goes low by clearing its TRISB bit and back up by setting it. No
; BSF or BCF touches PORTB, whose read-modify-write would copy a released (high) pin into the
; latch and drive the line high the next time its TRISB bit is cleared.
;
; Timing: the reader clocks the card at 3.579545 MHz; an instruction cycle is 4 clocks
; (1.117 us), and one bit is 372 clocks, 93 cycles (9622 baud; the reader's UART runs at
; 9600, 0.2 % off, far inside what a UART takes). Characters use the inverse convention of
; ISO 7816: the first bit after the start bit is bit 7, and a low line is a 1; so the bytes the
; reader's UART sees are bit-reversed and inverted, and the PC converts them back.
;
; RAM: 33 registers from 0Ch; the 16C84 has 36 (0Ch-2Fh), the 16F84 68. General-purpose
; registers appear in both banks, so the routines reach them from bank 1 as well.

        list    p=16f84, r=dec
        #include <p16f84.inc>
        errorlevel -302             ; TRISB is reached with RP0 set, as intended

        __config _XT_OSC & _WDT_OFF & _CP_OFF & _PWRTE_OFF

IO      equ     7                   ; PORTB/TRISB bit of the I/O contact
SCL     equ     4
SDA     equ     5
TRIS_IDLE equ   b'11111111'         ; every line released (RB6 stays an input)
TRIS_IOLOW equ  b'01111111'         ; I/O pulled low, the rest released

BIT     equ     93                  ; cycles per bit
MAXLEN  equ     16                  ; largest block a command moves

        cblock  0x0C
        cla, ins, p1, p2, p3        ; the command header
        ctrl                        ; 24C16 control byte: 1010, block A10..A8, R/W
        count                       ; bytes left in a block
        txbuf, rxbuf, bits          ; serial shift register and bit count
        dcnt, wcount                ; delay counters
        i2cbuf, nack, tries         ; I2C shift register, NACK wanted, acknowledge polls
        sw1, sw2                    ; status bytes
        buffer:MAXLEN
        endc
        if buffer + MAXLEN - 1 > 0x2F
        error "RAM beyond the 16C84's 36 registers"
        endif

; delay n: exactly n cycles (n <= 766), through dcnt.
delay   macro   cycles
        local   n, k
n = cycles
        if n >= 4
k = (n - 1) / 3
        movlw   k
        movwf   dcnt
        decfsz  dcnt, f             ; 3 cycles a turn, 2 for the last
        goto    $-1
n = n - (3 * k + 1)
        endif
        while n >= 2
        goto    $+1
n = n - 2
        endw
        if n == 1
        nop
        endif
        endm

        org     0
        goto    Start

        org     4
        goto    Start               ; no interrupt is enabled

; The answer to reset: exactly 11 bytes, because the PC reads 11 and keeps whatever follows
; as the echo of its first header byte. TS 3F (inverse convention), T0 09 (no interface bytes,
; nine historical bytes: "KESTRUM" and the loader version 1.0).
AtrByte                             ; W = index 0..10 -> W = byte
        addwf   PCL, f
AtrTable
        retlw   0x3F
        retlw   0x09
        retlw   'K'
        retlw   'E'
        retlw   'S'
        retlw   'T'
        retlw   'R'
        retlw   'U'
        retlw   'M'
        retlw   0x01
        retlw   0x00
AtrEnd
        if high(AtrTable) != high(AtrEnd)
        error "the answer table crosses a 256-word page"
        endif
ATRLEN  equ     AtrEnd - AtrTable

Start
        clrf    PORTB               ; latches low for good: lines are moved through TRISB only
        clrf    PORTA
        clrf    PCLATH
        bsf     STATUS, RP0
        movlw   TRIS_IDLE
        movwf   TRISB
        bcf     STATUS, RP0
        ; Opening the PC's port raises RTS (reset) briefly before the reset it means: wait about
        ; 1 ms, so a run cut short by that reset has sent nothing the PC would count.
        movlw   10
        call    WaitBits
        clrf    count
SendAtr
        movf    count, w
        call    AtrByte
        call    TxByte
        call    Guard
        incf    count, f
        movlw   ATRLEN
        subwf   count, w
        btfss   STATUS, Z
        goto    SendAtr

; ---- command loop ----
Command
        call    RxByte
        movwf   cla
        call    RxByte
        movwf   ins
        call    RxByte
        movwf   p1
        call    RxByte
        movwf   p2
        call    RxByte
        movwf   p3
        movlw   0x6E                ; class not supported
        movwf   sw1
        movlw   0xCA
        subwf   cla, w
        btfss   STATUS, Z
        goto    Refuse
        movlw   0x67                ; wrong length: 1..16 only
        movwf   sw1
        movf    p3, f
        btfsc   STATUS, Z
        goto    Refuse
        movf    p3, w
        sublw   MAXLEN              ; C clear when p3 > MAXLEN
        btfss   STATUS, C
        goto    Refuse
        ; The 24C16 takes address bits 10..8 in its control byte.
        rlf     p1, w
        andlw   b'00001110'
        iorlw   b'10100000'
        movwf   ctrl
        movlw   0x21
        subwf   ins, w
        btfsc   STATUS, Z
        goto    ReadBlock
        movlw   0x20
        subwf   ins, w
        btfsc   STATUS, Z
        goto    WriteBlock
        movlw   0x6D                ; instruction not supported
        movwf   sw1
Refuse
        clrf    sw2
        call    TurnAround
        goto    SendStatus

; CA 21: the block is read from the EEPROM first, then sent.
ReadBlock
        call    EepromRead
        call    TurnAround          ; it and the MOVLW/MOVWF below leave Z as it came
        movlw   0x65                ; memory failure: the EEPROM did not acknowledge
        movwf   sw1
        movlw   0x81
        movwf   sw2
        btfss   STATUS, Z
        goto    SendStatus
        movf    ins, w              ; procedure byte: all data follow
        call    TxByte
        call    Guard
        movlw   buffer
        movwf   FSR
        movf    p3, w
        movwf   count
SendData
        movf    INDF, w
        call    TxByte
        call    Guard
        incf    FSR, f
        decfsz  count, f
        goto    SendData
        goto    StatusOk

; CA 20: the EEPROM must answer before the procedure byte invites the data; the data are
; taken in as fast as the PC sends them, written as one page, and the write cycle is waited
; out (acknowledge polling) before the status bytes say the block is stored.
WriteBlock
        call    EepromProbe
        call    TurnAround
        movlw   0x65
        movwf   sw1
        movlw   0x81
        movwf   sw2
        btfss   STATUS, Z
        goto    SendStatus
        movf    ins, w
        call    TxByte              ; returns in the stop bit: the PC may start at once
        movlw   buffer
        movwf   FSR
        movf    p3, w
        movwf   count
TakeData
        call    RxByte
        movwf   INDF
        incf    FSR, f
        decfsz  count, f
        goto    TakeData
        call    EepromWrite
        call    TurnAround
        btfss   STATUS, Z
        goto    SendStatus          ; sw1 sw2 still say 65 81
StatusOk
        movlw   0x90
        movwf   sw1
        clrf    sw2
SendStatus
        movf    sw1, w
        call    TxByte
        call    Guard
        movf    sw2, w
        call    TxByte
        goto    Command

; ---- serial line ----

; TxByte: sends W as one character, and returns 3 cycles into the stop bit, with the line
; released. Bank 1 throughout; the bit edges are the MOVWF TRISB, 93 cycles apart.
TxByte
        movwf   txbuf
        movlw   8
        movwf   bits
        bsf     STATUS, RP0
        movlw   TRIS_IOLOW
        movwf   TRISB               ; start bit
        delay   BIT - 5
TxBit                               ; 93 cycles a bit
        rlf     txbuf, f            ; C = next bit, bit 7 first
        movlw   TRIS_IDLE
        btfsc   STATUS, C
        movlw   TRIS_IOLOW          ; a 1 is a low line
        movwf   TRISB               ; edge: 4 cycles into the turn
        delay   BIT - 8
        decfsz  bits, f
        goto    TxBit
        goto    $+1                 ; the last turn ends 2 cycles early through the skip...
        goto    $+1                 ; ...and the stop edge comes 4 cycles into a turn
        movlw   TRIS_IDLE
        movwf   TRISB               ; stop bit: released
        bcf     STATUS, RP0
        return

; RxByte: waits for the line to be high (the stop bit of the character before, or idle), then
; for a start bit, and returns the character in W, 8 cycles after sampling its last bit: the
; PC may start the next one half a bit later, and the caller is listening long before that.
; Bank 0. The start edge is seen 0 to 2 cycles late (the poll turn is 3 cycles); the first
; sample falls 1.5 bits after it, the others 93 cycles apart.
RxByte
        btfss   PORTB, IO
        goto    RxByte
RxWait
        btfsc   PORTB, IO
        goto    RxWait
        movlw   8                   ; 2 cycles after the poll that saw the start bit
        movwf   bits
        delay   48
RxBit                               ; 93 cycles a bit; the sample is 87 cycles into the turn
        delay   BIT - 7
        bsf     STATUS, C
        btfsc   PORTB, IO           ; sample: a low line is a 1
        bcf     STATUS, C
        rlf     rxbuf, f
        decfsz  bits, f
        goto    RxBit
        movf    rxbuf, w
        return

; Guard: the gap after a character before the card sends the next one: the stop bit and two
; more, so characters start 12 bits apart.
Guard
        movlw   3
        goto    WaitBits

; TurnAround: before the card answers what it has received, the PC must have seen the stop bit
; of its last character (the PC may send again right then); ISO 7816 asks 16 bits between the
; starts of characters that go opposite ways. RxByte returns 7.5 bits after a start: 9 bits.
TurnAround
        movlw   9
; WaitBits: W bits of 93 cycles.
WaitBits
        movwf   wcount
WaitBit
        delay   BIT - 3
        decfsz  wcount, f
        goto    WaitBit
        return

; ---- I2C to the 24C16 (standard mode: SCL low >= 4.7 us, high >= 4 us) ----
; The routines run in bank 1, where TRISB moves the lines; SDA is read in bank 0.
; They return with Z set when the EEPROM acknowledged everything.

I2cStart                            ; SDA falls while SCL is high
        bsf     TRISB, SDA
        delay   2
        bsf     TRISB, SCL
        delay   5
        bcf     TRISB, SDA
        delay   5
        bcf     TRISB, SCL
        return

I2cStop                             ; SDA rises while SCL is high
        bcf     TRISB, SDA
        delay   2
        bsf     TRISB, SCL
        delay   5
        bsf     TRISB, SDA
        delay   5
        return

; I2cTx: W out, most significant bit first; Z set when the EEPROM acknowledged.
I2cTx
        movwf   i2cbuf
        movlw   8
        movwf   bits
I2cTxBit
        rlf     i2cbuf, f
        btfsc   STATUS, C
        bsf     TRISB, SDA
        btfss   STATUS, C
        bcf     TRISB, SDA
        delay   2
        bsf     TRISB, SCL
        delay   4
        bcf     TRISB, SCL
        decfsz  bits, f
        goto    I2cTxBit
        bsf     TRISB, SDA          ; the EEPROM answers on SDA
        delay   4
        bsf     TRISB, SCL
        delay   3
        bcf     STATUS, RP0
        movf    PORTB, w            ; SDA low: acknowledged
        bsf     STATUS, RP0
        bcf     TRISB, SCL
        andlw   1 << SDA            ; Z set on acknowledge
        return

; I2cRx: one byte in W; C set on entry sends NACK after it (the last byte), clear sends ACK.
I2cRx
        movlw   0
        btfsc   STATUS, C
        movlw   1
        movwf   nack
        movlw   8
        movwf   bits
        bsf     TRISB, SDA
I2cRxBit
        delay   4
        bsf     TRISB, SCL
        delay   3
        bcf     STATUS, RP0
        bsf     STATUS, C
        btfss   PORTB, SDA
        bcf     STATUS, C
        bsf     STATUS, RP0
        rlf     i2cbuf, f
        bcf     TRISB, SCL
        decfsz  bits, f
        goto    I2cRxBit
        btfss   nack, 0
        bcf     TRISB, SDA          ; ACK: more bytes wanted
        delay   3
        bsf     TRISB, SCL
        delay   4
        bcf     TRISB, SCL
        bsf     TRISB, SDA
        movf    i2cbuf, w
        return

; EepromAddress: START, control byte (write), word address; Z set when both were acknowledged.
EepromAddress
        call    I2cStart
        movf    ctrl, w
        call    I2cTx
        btfss   STATUS, Z
        return
        movf    p2, w
        goto    I2cTx

; EepromRead: p3 bytes from the block address into buffer; Z set on success.
EepromRead
        bsf     STATUS, RP0
        call    EepromAddress
        btfss   STATUS, Z
        goto    I2cDone
        call    I2cStart            ; repeated START, then the control byte for reading
        movf    ctrl, w
        iorlw   1
        call    I2cTx
        btfss   STATUS, Z
        goto    I2cDone
        movlw   buffer
        movwf   FSR
        movf    p3, w
        movwf   count
ReadNext
        bcf     STATUS, C
        decf    count, w
        btfsc   STATUS, Z
        bsf     STATUS, C           ; the last byte is not acknowledged
        call    I2cRx
        movwf   INDF
        incf    FSR, f
        decfsz  count, f
        goto    ReadNext
        bsf     STATUS, Z
        goto    I2cDone

; EepromProbe: does the EEPROM answer its control byte? Z set when it does.
EepromProbe
        bsf     STATUS, RP0
        call    I2cStart
        movf    ctrl, w
        call    I2cTx
        goto    I2cDone

; EepromWrite: the buffer as one page write, then acknowledge polling until the EEPROM has
; stored it (it does not answer while its write cycle runs; 255 polls of about 0.17 ms give
; up after some 40 ms, four times the longest write cycle). Z set on success.
EepromWrite
        bsf     STATUS, RP0
        call    EepromAddress
        btfss   STATUS, Z
        goto    I2cDone
        movlw   buffer
        movwf   FSR
        movf    p3, w
        movwf   count
WriteNext
        movf    INDF, w
        call    I2cTx
        btfss   STATUS, Z
        goto    I2cDone
        incf    FSR, f
        decfsz  count, f
        goto    WriteNext
        call    I2cStop             ; the write cycle starts here
        movlw   255
        movwf   tries
Poll
        call    I2cStart
        movf    ctrl, w
        call    I2cTx
        btfsc   STATUS, Z
        goto    I2cDone             ; acknowledged: the page is in
        call    I2cStop
        decfsz  tries, f
        goto    Poll
        bcf     STATUS, Z           ; never answered
        goto    I2cOut

; I2cDone: STOP, back to bank 0, Z as it came.
I2cDone
        btfsc   STATUS, Z
        goto    I2cDoneOk
        call    I2cStop
        bcf     STATUS, Z
        goto    I2cOut
I2cDoneOk
        call    I2cStop
        bsf     STATUS, Z
I2cOut
        bcf     STATUS, RP0
        return

        end
