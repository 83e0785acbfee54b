; Nine sprites on one line: only the first eight are drawn and the overflow flag is set.
; Palette: test_palette; background tile 0 (index 0, black) everywhere.
; Tiles 1-9: solid indices 1-9. Sprite s (0-8): Y = 99 (lines 100-107), X = 8 + 24s,
; tile s + 1 (sprite colour s + 1).
; A test should see sprites 0-7 and not sprite 8 (x 200-207), and STATUS_ACC bit 6 set.
        include "testrom.inc"

main:
        ld b, 1
        ld c, 9
        call solid_tiles
        ld hl, sprites
        call set_sprites
        ld a, R1_BASE | R1_DISPLAY
        jp show_and_idle

sprites:
        db 9
        db 99, 8, 1
        db 99, 32, 2
        db 99, 56, 3
        db 99, 80, 4
        db 99, 104, 5
        db 99, 128, 6
        db 99, 152, 7
        db 99, 176, 8
        db 99, 200, 9

        include "testend.inc"
