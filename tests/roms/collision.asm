; Two overlapping sprites: the collision flag is set and the first sprite stays in front.
; Palette: test_palette; background tile 0 (index 0, black) everywhere.
; Tiles 1, 2: solid indices 1, 2. Sprite 0: Y 79, X 100, tile 1 (lines 80-87, x 100-107);
; sprite 1: Y 83, X 104, tile 2 (lines 84-91, x 104-111).
; A test should see sprite colour 1 over the overlap (lines 84-87, x 104-107), sprite
; colour 2 on the rest of sprite 1, and STATUS_ACC bit 5 set (bit 6 clear).
        include "testrom.inc"

main:
        ld b, 1
        ld c, 2
        call solid_tiles
        ld hl, sprites
        call set_sprites
        ld a, R1_BASE | R1_DISPLAY
        jp show_and_idle

sprites:
        db 2
        db 79, 100, 1
        db 83, 104, 2

        include "testend.inc"
