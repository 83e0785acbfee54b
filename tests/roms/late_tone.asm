; A PSG tone that starts late, as game music does after a title screen: the program waits
; 100 frames (counting the frame flag of the video status), then channel 0 plays period
; 0x0FE (254) at attenuation 0. Channels 1, 2 and the noise channel stay silent and the
; display stays off. RAM 0xC013 (TONE_STARTED) is 0x5A once the tone is written.
        include "testrom.inc"

TONE_PERIOD:    equ 0x0FE
WAIT_FRAMES:    equ 100
TONE_STARTED:   equ 0xC013

main:
        ld a, R1_BASE
        ld b, 1
        call vdp_set_reg
        ld b, WAIT_FRAMES
.frame: in a, (PORT_VDP_CTRL)
        rlca
        jr nc, .frame
        djnz .frame
        ld hl, psg_writes
        ld b, psg_writes_end - psg_writes
.psg:   ld a, (hl)
        out (PORT_PSG), a
        inc hl
        djnz .psg
        ld a, READY_MAGIC
        ld (TONE_STARTED), a
        ld a, R1_BASE
        jp show_and_idle

psg_writes:
        db 0xBF, 0xDF, 0xFF     ; channels 1, 2 and noise silent
        db 0x80 | (TONE_PERIOD & 0x0F)  ; channel 0 period, low 4 bits
        db TONE_PERIOD >> 4             ; high 6 bits
        db 0x90                 ; channel 0 attenuation 0
psg_writes_end:

        include "testend.inc"
