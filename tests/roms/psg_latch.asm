; A tone whose period changes by a latch byte alone, as music drivers do when only the low
; bits of a note change: channel 0 plays period 0x0F0 (240, 466.1 Hz) at attenuation 0 for
; 30 frames, then the single latch byte 0x8E sets the low four bits to 0xE: period 0x0FE
; (254, 440.4 Hz). Channels 1, 2 and the noise channel are silent; the display stays off.
; RAM 0xC020 (SCENE_READY) is 0x5A once the first tone is written, 0xC013 (LATCHED) once
; the latch byte is.
        include "testrom.inc"

WAIT_FRAMES:    equ 30
LATCHED:        equ 0xC013

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
        ld b, WAIT_FRAMES
.frame: in a, (PORT_VDP_CTRL)
        rlca
        jr nc, .frame
        djnz .frame
        ld a, 0x8E              ; latch byte of channel 0's period, low bits 0xE
        out (PORT_PSG), a
        ld a, READY_MAGIC
        ld (LATCHED), a
        jp idle

psg_writes:
        db 0xBF, 0xDF, 0xFF     ; channels 1, 2 and noise silent
        db 0x80, 0x0F           ; channel 0 period 0x0F0
        db 0x90                 ; channel 0 attenuation 0
psg_writes_end:

        include "testend.inc"
