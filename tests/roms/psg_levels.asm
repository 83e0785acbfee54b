; Every attenuation step of a tone: channel 0 plays period 0x0FE (254, 440.4 Hz) at
; attenuation 0, 1, ... 14, each for 12 frames, then 15 (silent). Channels 1, 2 and the
; noise channel are silent; the display stays off. RAM 0xC013 (STEP) holds the attenuation
; being played, 0xC020 (SCENE_READY) is 0x5A from the first step on.
        include "testrom.inc"

TONE_PERIOD:    equ 0x0FE
STEP_FRAMES:    equ 12
STEP:           equ 0xC013

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
        xor a
.step:  ld (STEP), a
        or 0x90                 ; channel 0 attenuation
        out (PORT_PSG), a
        cp 0x9F
        jp z, idle
        ld a, READY_MAGIC
        ld (SCENE_READY), a
        ld b, STEP_FRAMES
.frame: in a, (PORT_VDP_CTRL)
        rlca
        jr nc, .frame
        djnz .frame
        ld a, (STEP)
        inc a
        jr .step

psg_writes:
        db 0xBF, 0xDF, 0xFF     ; channels 1, 2 and noise silent
        db 0x80 | (TONE_PERIOD & 0x0F)  ; channel 0 period, low 4 bits
        db TONE_PERIOD >> 4             ; high 6 bits
psg_writes_end:

        include "testend.inc"
