; Graphic I (R0 and R1 mode bits clear) with 8 x 8 sprites. Tables: patterns 0x0000,
; colours 0x2000, names 0x3800, sprite attributes 0x3B00, sprite patterns 0x1800, all filled
; with a pseudo-random sequence except the sprite list below; backdrop colour 4. Sprites 1
; and 2 overlap (2 is transparent: it collides and shows nothing); 3 to 7 share lines
; 104-107, so 7 is the fifth sprite there; 5 is shifted 32 pixels left; 8 wraps from the
; bottom onto lines 0-6.
; A test should see the picture its model draws from VRAM, and read the overflow and
; collision flags with fifth-sprite number 7 (STATUS_ACC, STATUS_LAST).
        include "testrom.inc"
        include "tms_scene.inc"

main:   ld hl, scene
        jp tms_show

scene:  db 0x00, 0x80, 0x0E, 0x80, 0x00, 0x76, 0x03, 0xF4, 0x00, 0x00, 0xFF
        db 4
        dw 0x0000, 0x0800
        db 0x17                 ; patterns
        dw 0x2000, 32
        db 0x5C                 ; colours
        dw 0x3800, 768
        db 0xA1                 ; names
        dw 0x1800, 0x0800
        db 0x33                 ; sprite patterns
        dw 0x3B00
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
        db 0xC0                 ; display on

        include "testend.inc"
