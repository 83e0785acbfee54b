; Graphic II (R0 bit 1) with 16 x 16 sprites, as an SG-1000 cartridge sets it up (the test
; loads it as a .sg file: it starts at once, without the firmware). Tables: patterns 0x0000
; and colours 0x2000 (6 KB each, every third of the screen its own), names 0x3800, sprite
; attributes 0x3B00, sprite patterns 0x1800, filled with a pseudo-random sequence except
; the sprite list below; backdrop colour 12. Sprites 1 and 2 overlap; 3 to 7 share lines
; 150-155, so 7 is the fifth sprite there; 4 is shifted 32 pixels left; 8 wraps onto line 0.
; A test should see the picture its model draws from VRAM, and read the overflow and
; collision flags with fifth-sprite number 7.
        include "testrom.inc"
        include "tms_scene.inc"

main:   ld hl, scene
        jp tms_show

scene:  db 0x02, 0x80, 0x0E, 0xFF, 0x03, 0x76, 0x03, 0xFC, 0x00, 0x00, 0xFF
        db 4
        dw 0x0000, 0x1800
        db 0x29                 ; patterns
        dw 0x2000, 0x1800
        db 0x6E                 ; colours
        dw 0x3800, 768
        db 0x90                 ; names
        dw 0x1800, 0x0800
        db 0x41                 ; sprite patterns
        dw 0x3B00
        db 10, 20, 0x04, 0x0F
        db 50, 100, 0x08, 0x09
        db 56, 108, 0x0C, 0x03
        db 139, 0, 0x10, 0x0E
        db 140, 50, 0x14, 0x84
        db 141, 110, 0x18, 0x06
        db 144, 170, 0x1C, 0x0A
        db 149, 230, 0x20, 0x0D
        db 0xF0, 120, 0x24, 0x07
        db 0xD0
        db 0xC2                 ; display on, 16 x 16 sprites

        include "testend.inc"
