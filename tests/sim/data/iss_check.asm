; A small program for the instruction-set simulator test: a multiply by shift-and-add, a sum
; over a RETLW table, a bit count, a buffer filled and summed through FSR/INDF, a SWAPF. The
; results go to 20h..25h; the address of the final loop goes to 2Fh.
        list    p=16f84, r=dec
        #include <p16f84.inc>

        cblock  0x20
        prodl, prodh, tsum, ones, bsum, swapped, a, b, i, t, tmp
        endc
doneat  equ     0x2F
buffer  equ     0x30

        org     0
        goto    main

table   addwf   PCL, f
        retlw   3
        retlw   1
        retlw   4
        retlw   1
        retlw   5
        retlw   9
        retlw   2
        retlw   6

main    movlw   0xB7
        movwf   a
        movlw   0x5D
        movwf   b
        clrf    prodl
        clrf    prodh
        movlw   8
        movwf   i
mul     bcf     STATUS, C           ; prod <<= 1
        rlf     prodl, f
        rlf     prodh, f
        rlf     b, f                ; the next bit of b, most significant first
        btfss   STATUS, C
        goto    mulnext
        movf    a, w
        addwf   prodl, f
        btfsc   STATUS, C
        incf    prodh, f
mulnext decfsz  i, f
        goto    mul

        clrf    tsum
        clrf    i
tloop   movf    i, w
        call    table
        addwf   tsum, f
        incf    i, f
        movlw   8
        subwf   i, w
        btfss   STATUS, Z
        goto    tloop

        movlw   0xB7
        movwf   t
        clrf    ones
        movlw   8
        movwf   i
bloop   rrf     t, f
        btfsc   STATUS, C
        incf    ones, f
        decfsz  i, f
        goto    bloop

        movlw   buffer
        movwf   FSR
        clrf    i
        clrf    tmp
floop   movf    tmp, w
        xorlw   0x55
        movwf   INDF
        incf    FSR, f
        movlw   7
        addwf   tmp, f
        incf    i, f
        movlw   10
        subwf   i, w
        btfss   STATUS, Z
        goto    floop
        movlw   buffer
        movwf   FSR
        clrf    bsum
        movlw   10
        movwf   i
sloop   movf    INDF, w
        addwf   bsum, f
        incf    FSR, f
        decfsz  i, f
        goto    sloop

        swapf   a, w
        movwf   swapped
        movlw   low done
        movwf   doneat
done    goto    done
        end
