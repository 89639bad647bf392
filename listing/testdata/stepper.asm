; Stepper motor driver for a PIC18F4550 at 48 MHz (12 MIPS).
;
; Timer 0 interrupts at the step rate and advances a four-coil motor on RB0..RB3 in
; half steps; the USART (9600 baud) takes one-letter commands and answers in text:
;   F forward, R reverse, S stop, + faster, - slower, ? position and speed,
;   H run home to position 0, C checksum of the message table, W save the position in
;   the data EEPROM, where it is found again after a reset.
; The code is laid out without gaps from the reset vector on, so that a disassembly of
; its HEX file reassembles word for word.

        LIST    P=18F4550, R=DEC
        ERRORLEVEL -302                 ; every register is named with its access bit
        #include <p18f4550.inc>

; Flags bits
NEWCMD          EQU     0               ; a command byte has arrived
DIRECTION       EQU     1               ; 1 forward, 0 reverse
RUNNING         EQU     2               ; the timer interrupt steps the motor
SPEED_MAX       EQU     31              ; last entry of the ramp table

        CBLOCK  0x000
        Flags
        RxByte
        Phase
        PosL
        PosH
        SpeedIdx
        DelayL
        DelayH
        Temp
        Count
        Count2
        HexTemp
        SumL
        SumH
        IsrTemp
        IsrFsrL
        IsrFsrH
        ENDC

; Points TBLPTR at a table in program memory.
POINT_TO MACRO  label
        movlw   upper(label)
        movwf   TBLPTRU, ACCESS
        movlw   high(label)
        movwf   TBLPTRH, ACCESS
        movlw   low(label)
        movwf   TBLPTRL, ACCESS
        ENDM

; Loads PCLATU:PCLATH for a computed jump into a table of two-byte entries and leaves
; the low byte of the entry address in W. The index comes in W.
TABLE_JUMP MACRO table, scratch
        rlncf   WREG, W, ACCESS
        addlw   low(table)
        movwf   scratch, ACCESS
        movlw   high(table)
        btfsc   STATUS, C, ACCESS
        addlw   1
        movwf   PCLATH, ACCESS
        movlw   upper(table)
        movwf   PCLATU, ACCESS
        movf    scratch, W, ACCESS
        movwf   PCL, ACCESS
        ENDM

; Fills the words up to address `at` with NOPs: patch space for fixes in the field,
; which also keeps the entry points behind it where the jumps before it expect them.
PATCH_SPACE MACRO at
        WHILE   $ < (at)
        nop
        ENDW
        IF      $ != (at)
        ERROR   "code grew into a fixed entry point"
        ENDIF
        ENDM

        ORG     0x0000
ResetVector:
        goto    Main
        nop
        nop

        ORG     0x0008
; High-priority interrupt: timer 0 steps the motor, the receiver stores a command.
; W, STATUS and BSR are saved by the shadow registers (retfie FAST).
HighIsr:
        movff   FSR0L, IsrFsrL
        movff   FSR0H, IsrFsrH
        btfss   INTCON, TMR0IF, ACCESS
        bra     IsrReceive
        bcf     INTCON, TMR0IF, ACCESS
        movf    DelayH, W, ACCESS
        movwf   TMR0H, ACCESS           ; the high byte is latched by the low byte write
        movf    DelayL, W, ACCESS
        movwf   TMR0L, ACCESS
        btfsc   Flags, RUNNING, ACCESS
        rcall   StepMotor
IsrReceive:
        btfss   PIR1, RCIF, ACCESS
        bra     IsrDone
        movf    RCREG, W, ACCESS
        movwf   RxByte, ACCESS
        bsf     Flags, NEWCMD, ACCESS
        btfss   RCSTA, OERR, ACCESS
        bra     IsrDone
        bcf     RCSTA, CREN, ACCESS     ; an overrun stops the receiver: restart it
        bsf     RCSTA, CREN, ACCESS
IsrDone:
        movff   IsrFsrL, FSR0L
        movff   IsrFsrH, FSR0H
        retfie  FAST

; One half step in the current direction; the position counts the steps.
StepMotor:
        btfss   Flags, DIRECTION, ACCESS
        bra     StepBack
        incf    PosL, F, ACCESS
        btfsc   STATUS, C, ACCESS
        incf    PosH, F, ACCESS
        incf    Phase, F, ACCESS
        bra     StepOut
StepBack:
        decf    PosL, F, ACCESS
        btfss   STATUS, C, ACCESS       ; no carry out of a decrement means a borrow
        decf    PosH, F, ACCESS
        decf    Phase, F, ACCESS
StepOut:
        movf    Phase, W, ACCESS
        andlw   0x07
        rcall   PhaseTable
        movwf   LATB, ACCESS
        return

; Coil pattern of half step W (0 to 7).
PhaseTable:
        TABLE_JUMP PhaseList, IsrTemp
PhaseList:
        retlw   b'00000001'
        retlw   b'00000011'
        retlw   b'00000010'
        retlw   b'00000110'
        retlw   b'00000100'
        retlw   b'00001100'
        retlw   b'00001000'
        retlw   b'00001001'

; Sends W on the USART once the transmitter is free.
SendByte:
        btfss   PIR1, TXIF, ACCESS
        bra     SendByte
        movwf   TXREG, ACCESS
        return

; Sends the zero-ended text that TBLPTR points at.
SendString:
        tblrd*+
        movf    TABLAT, W, ACCESS
        bz      SendStringDone
        rcall   SendByte
        bra     SendString
SendStringDone:
        return

; Waits about W milliseconds (12 x 256 x 3 cycles an outer round).
DelayMs:
        movwf   Count, ACCESS
DelayMsOuter:
        movlw   12
        movwf   Count2, ACCESS
DelayMsMiddle:
        clrf    Temp, ACCESS
DelayMsInner:
        nop
        decfsz  Temp, F, ACCESS
        bra     DelayMsInner
        decfsz  Count2, F, ACCESS
        bra     DelayMsMiddle
        decfsz  Count, F, ACCESS
        bra     DelayMsOuter
        return

; Takes the timer reload of SpeedIdx from the ramp table, with interrupts off so that
; the interrupt never sees half of it.
LoadSpeed:
        bcf     INTCON, GIE, ACCESS
        rlncf   SpeedIdx, W, ACCESS
        rcall   RampLookup
        movwf   DelayH, ACCESS
        rlncf   SpeedIdx, W, ACCESS
        addlw   1
        rcall   RampLookup
        movwf   DelayL, ACCESS
        bsf     INTCON, GIE, ACCESS
        return

RampLookup:
        TABLE_JUMP RampTable, Temp
; Timer 0 reloads (1.5 MHz ticks: 16-bit timer, prescaler 1:8) for step rates of
; 100 Hz to 3200 Hz, high byte first.
RampTable:
        variable rate = 1
        WHILE   rate <= SPEED_MAX + 1
        retlw   high(65536 - 1500000 / (100 * rate))
        retlw   low(65536 - 1500000 / (100 * rate))
rate += 1
        ENDW

MsgBanner:
        db      "PIC18F4550 stepper, F R S + - ? H C W", 0x0D, 0x0A, 0
MsgPosition:
        db      "POS=", 0
MsgSpeed:
        db      " SPD=", 0
MsgOk:
        db      "OK", 0x0D, 0x0A, 0
MsgError:
        db      "ERR", 0x0D, 0x0A, 0
MsgSum:
        db      "SUM=", 0
MsgEnd:

; Sums the bytes of the message table into SumH:SumL.
Checksum:
        POINT_TO MsgBanner
        clrf    SumL, ACCESS
        clrf    SumH, ACCESS
ChecksumLoop:
        tblrd*+
        movf    TABLAT, W, ACCESS
        addwf   SumL, F, ACCESS
        btfsc   STATUS, C, ACCESS
        incf    SumH, F, ACCESS
        movlw   low(MsgEnd)
        cpfseq  TBLPTRL, ACCESS
        bra     ChecksumLoop
        movlw   high(MsgEnd)
        cpfseq  TBLPTRH, ACCESS
        bra     ChecksumLoop
        return

        PATCH_SPACE ResetVector + 510

Main:
        clrf    LATB, ACCESS
        movlw   0xF0
        movwf   TRISB, ACCESS           ; coils on RB0..RB3
        movlw   0x0F
        movwf   ADCON1, ACCESS          ; all pins digital
        bsf     TRISC, 7, ACCESS        ; RX in
        bcf     TRISC, 6, ACCESS        ; TX out
        movlw   77                      ; 48 MHz / (64 x 9600) - 1
        movwf   SPBRG, ACCESS
        movlw   b'00100000'             ; transmitter on, asynchronous, low speed
        movwf   TXSTA, ACCESS
        movlw   b'10010000'             ; serial port on, continuous receive
        movwf   RCSTA, ACCESS
        movlw   b'10000010'             ; timer 0 on, 16 bits, prescaler 1:8
        movwf   T0CON, ACCESS
        clrf    Flags, ACCESS
        clrf    PosL, ACCESS
        clrf    PosH, ACCESS
        clrf    Phase, ACCESS
        movlw   4
        movwf   SpeedIdx, ACCESS
        rcall   LoadSpeed
        lfsr    0, 0x100                ; clear the receive log in bank 1
        movlw   32
        movwf   Count, ACCESS
ClearLog:
        clrf    POSTINC0, ACCESS
        decfsz  Count, F, ACCESS
        bra     ClearLog
        bsf     PIE1, RCIE, ACCESS
        bsf     INTCON, TMR0IE, ACCESS
        bsf     INTCON, PEIE, ACCESS
        bsf     INTCON, GIE, ACCESS
        movlw   100
        call    DelayMs                 ; let the line settle
        POINT_TO MsgBanner
        call    SendString
        POINT_TO MsgHelp
        call    SendString
        call    LoadPosition
StartReport:
        call    SendChecksum
        call    SendPosition

; Waits for a command letter and jumps through the command table.
MainLoop:
        clrwdt
        btfss   Flags, NEWCMD, ACCESS
        bra     MainLoop
        bcf     Flags, NEWCMD, ACCESS
        rcall   CommandIndex
        TABLE_JUMP CommandTable, Temp
CommandTable:
        bra     CmdForward
        bra     CmdReverse
        bra     CmdStop
        bra     CmdFaster
        bra     CmdSlower
        bra     CmdReport
        bra     CmdHome
        bra     CmdChecksum
        bra     CmdWrite
        bra     ReplyError

; Index of RxByte among the command letters, or their count when it is none of them.
CommandIndex:
        POINT_TO CommandLetters
        clrf    Count, ACCESS
CommandIndexLoop:
        tblrd*+
        movf    TABLAT, W, ACCESS
        bz      CommandIndexDone
        xorwf   RxByte, W, ACCESS
        bz      CommandIndexDone
        incf    Count, F, ACCESS
        bra     CommandIndexLoop
CommandIndexDone:
        movf    Count, W, ACCESS
        return
CommandLetters:
        db      "FRS+-?HCW", 0

; Sends W as two hexadecimal digits.
SendHex:
        movwf   HexTemp, ACCESS
        swapf   HexTemp, W, ACCESS
        rcall   SendNibble
        movf    HexTemp, W, ACCESS
; Sends the low four bits of W as a hexadecimal digit.
SendNibble:
        andlw   0x0F
        addlw   246                     ; carry when the digit is 10 or more
        btfsc   STATUS, C, ACCESS
        addlw   7
        addlw   58
        goto    SendByte

SendCrLf:
        movlw   0x0D
        call    SendByte
        movlw   0x0A
        goto    SendByte

; Answers a command with the text at TBLPTR and goes back to the main loop.
SendReply:
        call    SendString
        goto    MainLoop

ReplyOk:
        POINT_TO MsgOk
        bra     SendReply

ReplyError:
        POINT_TO MsgError
        bra     SendReply

; The position survives a reset in the data EEPROM, at addresses 0 and 1.
LoadPosition:
        clrf    EEADR, ACCESS
        rcall   ReadEeprom
        movwf   PosL, ACCESS
        incf    EEADR, F, ACCESS
        rcall   ReadEeprom
        movwf   PosH, ACCESS
        return

SavePosition:
        clrf    EEADR, ACCESS
        movf    PosL, W, ACCESS
        rcall   WriteEeprom
        incf    EEADR, F, ACCESS
        movf    PosH, W, ACCESS
        bra     WriteEeprom

; Reads the data EEPROM byte at EEADR into W.
ReadEeprom:
        bcf     EECON1, EEPGD, ACCESS
        bcf     EECON1, CFGS, ACCESS
        bsf     EECON1, RD, ACCESS
        movf    EEDATA, W, ACCESS
        return

; Writes W to the data EEPROM at EEADR and waits until the write is done.
WriteEeprom:
        movwf   EEDATA, ACCESS
        bcf     EECON1, EEPGD, ACCESS
        bcf     EECON1, CFGS, ACCESS
        bsf     EECON1, WREN, ACCESS
        bcf     INTCON, GIE, ACCESS     ; the unlock sequence must not be interrupted
        movlw   0x55
        movwf   EECON2, ACCESS
        movlw   0xAA
        movwf   EECON2, ACCESS
        bsf     EECON1, WR, ACCESS
        bsf     INTCON, GIE, ACCESS
WriteEepromWait:
        btfsc   EECON1, WR, ACCESS
        bra     WriteEepromWait
        bcf     EECON1, WREN, ACCESS
        return

MsgHelp:
        db      "Commands: F forward, R reverse, S stop, + faster, - slower,", 0x0D, 0x0A
        db      "? position and speed, H home, C checksum, W save position", 0x0D, 0x0A, 0

        PATCH_SPACE StartReport + 508
; Sends "SUM=" with the checksum of the message table.
SendChecksum:
        call    Checksum
        POINT_TO MsgSum
        call    SendString
        movf    SumH, W, ACCESS
        call    SendHex
        movf    SumL, W, ACCESS
        call    SendHex
        goto    SendCrLf

        PATCH_SPACE CommandTable + 506
CmdForward:
        bsf     Flags, DIRECTION, ACCESS
        bra     StartMotor
CmdReverse:
        bcf     Flags, DIRECTION, ACCESS
StartMotor:
        bsf     Flags, RUNNING, ACCESS
        bra     ReplyOk

        PATCH_SPACE ReplyOk + 502
CmdStop:
        bcf     Flags, RUNNING, ACCESS
        clrf    LATB, ACCESS            ; no current in the coils
        bra     ReplyOk

        PATCH_SPACE ReplyError + 504
CmdFaster:
        movlw   SPEED_MAX
        cpfslt  SpeedIdx, ACCESS
        bra     ReplyError
        incf    SpeedIdx, F, ACCESS
        rcall   LoadSpeed
        bra     ReplyOk

CmdSlower:
        tstfsz  SpeedIdx, ACCESS
        bra     CmdSlowerStep
        bra     ReplyError
CmdSlowerStep:
        decf    SpeedIdx, F, ACCESS
        rcall   LoadSpeed
        bra     ReplyOk

CmdReport:
        rcall   SendPosition
        goto    MainLoop

CmdChecksum:
        rcall   SendChecksum
        goto    MainLoop

; Runs the motor back to position 0, then stops it.
CmdHome:
        bcf     Flags, RUNNING, ACCESS
        movf    PosL, W, ACCESS
        iorwf   PosH, W, ACCESS
        bz      CmdHomeDone
        bcf     Flags, DIRECTION, ACCESS
        btfsc   PosH, 7, ACCESS         ; a negative position runs forward
        bsf     Flags, DIRECTION, ACCESS
        bsf     Flags, RUNNING, ACCESS
CmdHomeWait:
        clrwdt
        movf    PosL, W, ACCESS
        iorwf   PosH, W, ACCESS
        bnz     CmdHomeWait
        bcf     Flags, RUNNING, ACCESS
CmdHomeDone:
        goto    ReplyOk

CmdWrite:
        rcall   SavePosition
        goto    ReplyOk

; Sends "POS=" with the position and " SPD=" with the speed index.
SendPosition:
        POINT_TO MsgPosition
        rcall   SendString
        movf    PosH, W, ACCESS
        rcall   SendHex
        movf    PosL, W, ACCESS
        rcall   SendHex
        POINT_TO MsgSpeed
        rcall   SendString
        movf    SpeedIdx, W, ACCESS
        call    SendHex
        goto    SendCrLf

; A stack fault ends here: wait for the watchdog to restart the chip.
Fatal:
        goto    Fatal

        END
