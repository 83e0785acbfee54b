; 8x8 sprites: placement, clipping at the right edge, wrap at the top, the 0xD0 end mark.
; Palette: test_palette; background tile 0 (index 0, black) everywhere.
; Tiles: 1 solid index 1, 2 solid index 2, 3 pattern_tile (pixel (x, y) = 1 + ((x + 3y) AND 7)).
; Sprites (Y, X, tile), sprite palette:
;   0: (15, 16, 1)    lines 16-23, x 16-23, colour 1
;   1: (49, 100, 3)   lines 50-57, x 100-107, the pattern
;   2: (99, 250, 2)   lines 100-107, x 250-255 (the rest is cut off), colour 2
;   3: (0xF8, 40, 3)  only its row 7, on line 0, x 40-47
;   4: (0xF0, 60, 1)  lines 241-248: never seen
;   5: Y = 0xD0 ends the list; 6: (120, 120, 1) is therefore not drawn.
; A test should see exactly these pixels and no overflow or collision in STATUS_ACC.
        include "testrom.inc"

main:
        ld b, 1
        ld c, 2
        call solid_tiles
        ld a, 3
        ld c, 0
        call vdp_tile_addr
        ld hl, pattern_tile
        ld bc, 32
        call vdp_copy
        ld hl, sprites
        call set_sprites
        ld a, R1_BASE | R1_DISPLAY
        jp show_and_idle

sprites:
        db 7
        db 15, 16, 1
        db 49, 100, 3
        db 99, 250, 2
        db 0xF8, 40, 3
        db 0xF0, 60, 1
        db 0xD0, 0, 1
        db 120, 120, 1

        include "testend.inc"
