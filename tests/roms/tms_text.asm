; Text (R1 bit 4): 40 x 24 characters of 6 x 8 pixels in white on dark blue (R7 0xF4)
; between borders of the backdrop. Tables: names 0x3800 (960 bytes), patterns 0x0000, filled
; with a pseudo-random sequence. A sprite list with five sprites on one line lies at 0x3B00:
; the mode has no sprites, so none is drawn and no sprite flag is set.
; A test should see the picture its model draws from VRAM and read no sprite flag.
        include "testrom.inc"
        include "tms_scene.inc"

main:   ld hl, scene
        jp tms_show

scene:  db 0x00, 0x80, 0x0E, 0x00, 0x00, 0x76, 0x00, 0xF4, 0x00, 0x00, 0xFF
        db 2
        dw 0x0000, 0x0800
        db 0x3D                 ; patterns
        dw 0x3800, 960
        db 0xC7                 ; names
        dw 0x3B00
        db 50, 0, 1, 0x0F
        db 50, 40, 1, 0x0F
        db 50, 80, 1, 0x0F
        db 50, 120, 1, 0x0F
        db 50, 160, 1, 0x0F
        db 0xD0
        db 0xD0                 ; display on, Text

        include "testend.inc"
