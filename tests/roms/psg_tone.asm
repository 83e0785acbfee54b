; A PSG square tone: channel 0, period 0x0FE (254), attenuation 0 (full volume); channels
; 1, 2 and the noise channel are silent. The display stays off.
; A test should hear a square wave of 3579545 / (32 x 254) = 440.4 Hz, about 100.1 samples
; per cycle at 44100 Hz, and nothing else.
        include "testrom.inc"

TONE_PERIOD:    equ 0x0FE

main:
        ld hl, psg_writes
        ld b, psg_writes_end - psg_writes
.psg:   ld a, (hl)
        out (PORT_PSG), a
        inc hl
        djnz .psg
        ld a, R1_BASE
        jp show_and_idle

psg_writes:
        db 0xBF, 0xDF, 0xFF     ; channels 1, 2 and noise silent
        db 0x80 | (TONE_PERIOD & 0x0F)  ; channel 0 period, low 4 bits
        db TONE_PERIOD >> 4             ; high 6 bits
        db 0x90                 ; channel 0 attenuation 0
psg_writes_end:

        include "testend.inc"
