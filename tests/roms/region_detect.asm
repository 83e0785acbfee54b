; The region check that start-up code of homebrew libraries runs: wait for the V counter to
; read 0x80 (the middle of the picture), then follow it until it falls. The last value before
; the fall is where the counter jumps back into the vertical blank: 0xDA on a 60 Hz console,
; 0xF2 on a 50 Hz one, so 0xE8 or more means PAL. The program stores that value at
; LAST_VCOUNT (0xC013) and its verdict at REGION (0xC014): 0x50 ('P') for PAL, 0x4E ('N')
; for NTSC, then marks the scene ready. The display stays off.
        include "testrom.inc"

LAST_VCOUNT:    equ 0xC013
REGION:         equ 0xC014

main:
.middle: in a, (PORT_VCOUNTER)
        cp 0x80
        jr nz, .middle
.rising: ld b, a
        in a, (PORT_VCOUNTER)
        cp b
        jr nc, .rising          ; not fallen: the new reading is not below the last
        ld a, b
        ld (LAST_VCOUNT), a
        ld c, 0x4E              ; 'N'
        cp 0xE8
        jr c, .verdict
        ld c, 0x50              ; 'P'
.verdict: ld a, c
        ld (REGION), a
        ld a, R1_BASE
        jp show_and_idle

        include "testend.inc"
