; Toggles GP0 of a PIC 12C508; the calibration word at 0x1FF stays erased here.
        list    p=12c508
        __config 0x0FEA         ; internal RC, watchdog off, no code protection, MCLR on
        __idlocs 0x0ABC

        org     0
start   movwf   0x05            ; OSCCAL
        movlw   0x0E
        tris    0x06
loop    movlw   0x01
        xorwf   0x06, f
        goto    loop
        end
