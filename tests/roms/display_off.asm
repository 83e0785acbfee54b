; Display disabled: a full scene is drawn but R1 bit 6 stays clear.
; Background: every entry tile 1 (solid index 15); a sprite (Y 49, X 50, tile 2, solid
; index 3); backdrop R7 = 3 (sprite colour 3, 0x33).
; A test should see every pixel black (0x0000), not the backdrop colour.
        include "testrom.inc"

main:
        ld a, 1
        ld c, 0
        call vdp_tile_addr
        ld a, 15
        call solid_tile
        ld a, 3
        call solid_tile
        ld a, 1
        call fill_name_table
        ld hl, sprites
        call set_sprites
        ld a, 3
        ld b, 7
        call vdp_set_reg
        ld a, R1_BASE
        jp show_and_idle

sprites:
        db 1
        db 49, 50, 2

        include "testend.inc"
