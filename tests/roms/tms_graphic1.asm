; Graphic I (R0 and R1 mode bits clear) with 8 x 8 sprites. Tables: patterns 0x0000,
; colours 0x2000, names 0x3800, sprite attributes 0x3B00, sprite patterns 0x1800, all filled
; with a pseudo-random sequence except the sprite list below; backdrop colour 4. Sprites 1
; and 2 overlap (2 is transparent: it collides and shows nothing); 3 to 7 share lines
; 104-107, so 7 is the fifth sprite there; 8 wraps from the bottom onto lines 0-6.
; A test should see the picture its model draws from VRAM, and read the overflow and
; collision flags with fifth-sprite number 7 (STATUS_ACC, STATUS_LAST).
        include "testrom.inc"
        include "tms_scene.inc"

main:
        ld hl, registers
        call vdp_load_regs
        ld hl, 0x0000
        ld bc, 0x0800
        ld e, 0x17
        call tms_fill           ; patterns
        ld hl, 0x2000
        ld bc, 32
        ld e, 0x5C
        call tms_fill           ; colours
        ld hl, 0x3800
        ld bc, 768
        ld e, 0xA1
        call tms_fill           ; names
        ld hl, 0x1800
        ld bc, 0x0800
        ld e, 0x33
        call tms_fill           ; sprite patterns
        ld hl, sprites
        ld de, 0x3B00
        ld bc, sprites_end - sprites
        call tms_copy
        ld a, 0xC0              ; display on
        jp show_and_idle

registers:
        db 0x00, 0x80, 0x0E, 0x80, 0x00, 0x76, 0x03, 0xF4, 0x00, 0x00, 0xFF

; Y, X, pattern, early clock (bit 7) and colour.
sprites:
        db 20, 30, 1, 0x0F
        db 60, 100, 2, 0x08
        db 62, 104, 3, 0x00
        db 99, 10, 4, 0x02
        db 99, 60, 5, 0x05
        db 101, 110, 6, 0x86
        db 102, 160, 7, 0x0B
        db 103, 200, 8, 0x0D
        db 0xF8, 240, 9, 0x07
        db 0xD0
sprites_end:

        include "testend.inc"
