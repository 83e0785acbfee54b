; Multicolor (R1 bit 3): 64 x 48 blocks of 4 x 4 pixels, with magnified 8 x 8 sprites (16 x
; 16 on the screen). Tables: names 0x3800, patterns 0x0000, sprite attributes 0x3B00, sprite
; patterns 0x1800, filled with a pseudo-random sequence except the sprite list below;
; backdrop colour 5. Sprites 1 and 2 overlap; 3 to 7 share lines 128-135, so 7 is the fifth
; sprite there; 4 is shifted 32 pixels left.
; A test should see the picture its model draws from VRAM, and read the overflow and
; collision flags with fifth-sprite number 7.
        include "testrom.inc"
        include "tms_scene.inc"

main:   ld hl, scene
        jp tms_show

scene:  db 0x00, 0x80, 0x0E, 0x00, 0x00, 0x76, 0x03, 0xF5, 0x00, 0x00, 0xFF
        db 3
        dw 0x0000, 0x0800
        db 0x52                 ; patterns
        dw 0x3800, 768
        db 0x0B                 ; names
        dw 0x1800, 0x0800
        db 0x7A                 ; sprite patterns
        dw 0x3B00
        db 30, 40, 1, 0x0F
        db 70, 90, 2, 0x08
        db 74, 96, 3, 0x0C
        db 119, 0, 4, 0x02
        db 121, 40, 5, 0x85
        db 123, 100, 6, 0x06
        db 125, 150, 7, 0x0B
        db 127, 250, 8, 0x0D
        db 0xD0
        db 0xC9                 ; display on, Multicolor, magnified sprites

        include "testend.inc"
