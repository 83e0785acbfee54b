; Reads the H counter the way the hardware offers it: TH of port A, made an output through
; port 0x3F, is pulled from high to low, which latches the counter, and port 0x7F reads the
; latched value back. Line interrupts every fourth line wake the CPU from HALT, so each
; handler starts at a known T-state of its line; measurement k then waits k NOPs (4k
; T-states) before its OUT, so the OUTs sweep across more than a line. The value read for
; measurement k goes to LATCHED + k, a second read of port 0x7F some T-states later to
; REREAD + k; LATCH_DONE (0xC013) becomes 0x5A when all SWEEP_COUNT are in. The display
; stays off.
;
; Timing of a measurement, from the start of the line: interrupt accepted (13), JP at 0x38
; (10), JP in the hook (10), then the handler below to its sled (82), k NOPs, LD A (7) and the
; OUT, whose I/O cycle falls 10 T-states into it: TH falls at T-state 132 + 4k.
        include "testrom.inc"

LATCH_DONE:     equ 0xC013
SWEEP_INDEX:    equ 0xC014
LATCHED:        equ 0xC100
REREAD:         equ 0xC200
SWEEP_COUNT:    equ 60
PORT_IO_CTRL:   equ 0x3F
PORT_HCOUNTER:  equ 0x7F
; TH of port A an output, high or low; every other line an input.
TH_A_HIGH:      equ 0xFD
TH_A_LOW:       equ 0xDD
R0_LINE_IRQ:    equ 0x10
WARMING_UP:     equ 0xFF

main:
        ld hl, IRQ_HOOK
        ld de, on_line
        call set_hook
        ld a, TH_A_HIGH
        out (PORT_IO_CTRL), a
        ld a, WARMING_UP        ; the first interrupt may come at any point of its line
        ld (SWEEP_INDEX), a
        ld a, 3
        ld b, 10
        call vdp_set_reg        ; a line interrupt every fourth line
        ld a, R0_MODE4 | R0_LINE_IRQ
        ld b, 0
        call vdp_set_reg
        ld a, READY_MAGIC
        ld (SCENE_READY), a
        ei
.loop:  halt
        jr .loop

on_line:                        ; T-state 33 of the line
        in a, (PORT_VDP_CTRL)   ; 11: acknowledge
        ld a, (SWEEP_INDEX)     ; 13
        cp SWEEP_COUNT          ; 7
        jr nc, .idle            ; 7
        ld e, a                 ; 4
        ld d, 0                 ; 7
        ld hl, sled_end         ; 10
        or a                    ; 4
        sbc hl, de              ; 15
        jp (hl)                 ; 4: T-state 115, k NOPs before the sled's end
sled:   ds SWEEP_COUNT, 0       ; NOP
sled_end:
        ld a, TH_A_LOW          ; 7
        out (PORT_IO_CTRL), a   ; TH falls: the counter is latched
        in a, (PORT_HCOUNTER)
        ld b, a
        ld a, TH_A_HIGH
        out (PORT_IO_CTRL), a   ; TH rises again: no latch
        in a, (PORT_HCOUNTER)
        ld hl, REREAD
        add hl, de
        ld (hl), a
        ld hl, LATCHED
        add hl, de
        ld (hl), b
        ld a, e
        inc a
        ld (SWEEP_INDEX), a
        cp SWEEP_COUNT
        jr nz, .out
        ld a, READY_MAGIC
        ld (LATCH_DONE), a
.out:   ei
        reti
.idle:  inc a                   ; WARMING_UP becomes 0: the sweep starts
        jr nz, .out             ; the sweep is over
        ld (SWEEP_INDEX), a
        jr .out

        include "testend.inc"
