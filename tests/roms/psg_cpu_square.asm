; A square wave timed by the CPU alone, as digitised speech and drums are played: with
; interrupts off, a loop switches channel 0 (period 0, a constant level) between
; attenuation 0 and 15. One pass of the loop takes 2,652 T-states (1,327 with the channel
; on, 1,325 with it off), so the square sounds at the CPU's T-state rate / 2,652: 1,351.5 Hz
; at the 3,584,160 T-states per second of 60 frames of 59,736. Channels 1, 2 and the noise
; channel are silent; the display stays off. RAM 0xC020 (SCENE_READY) is 0x5A once the loop
; runs.
        include "testrom.inc"

WAIT:           equ 99                  ; DJNZ passes per half

main:
        ld a, R1_BASE
        ld b, 1
        call vdp_set_reg
        ld hl, psg_writes
        ld b, psg_writes_end - psg_writes
.psg:   ld a, (hl)
        out (PORT_PSG), a
        inc hl
        djnz .psg
        ld a, READY_MAGIC
        ld (SCENE_READY), a
        di
                                ; T-states from each OUT to the next:
loop:   ld a, 0x90              ; on: 11 + 7 + (13 x 99 - 5) + 5 x 4 + 7 = 1,327
        out (PORT_PSG), a
        ld b, WAIT
.on:    djnz .on
        nop
        nop
        nop
        nop
        nop
        ld a, 0x9F              ; off: 11 + 7 + (13 x 99 - 5) + 2 x 4 + 10 + 7 = 1,325
        out (PORT_PSG), a
        ld b, WAIT
.off:   djnz .off
        nop
        nop
        jp loop

psg_writes:
        db 0xBF, 0xDF, 0xFF     ; channels 1, 2 and noise silent
        db 0x80, 0x00           ; channel 0 period 0: a constant level
psg_writes_end:

        include "testend.inc"
