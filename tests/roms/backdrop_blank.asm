; Left column blank (R0 bit 5) with a fine horizontal scroll and a sprite under the blank.
; R0 = 0x26, R7 = 3 (backdrop = sprite colour 3, 0x33), R8 = 3 (fine scroll 3).
; Tiles: 1 solid index 1, 2 solid index 2, 3 solid index 4. Name table: tile 1 in even
; columns, tile 3 in odd columns. Sprite: Y 49, X 4, tile 2 (lines 50-57, x 4-11).
; A test should see the backdrop colour at x 0-7 on every line; elsewhere background index
; 1 where ((x - 3) / 8) is even and index 4 where it is odd, except the sprite's
; colour 2 at x 8-11 on lines 50-57.
        include "testrom.inc"

main:
        ld a, 1
        ld c, 0
        call vdp_tile_addr
        ld a, 1
        call solid_tile
        ld a, 2
        call solid_tile
        ld a, 4
        call solid_tile
        ld hl, VRAM_NAME
        call vdp_write_addr
        ld bc, 32 * 28 / 2
.entry: ld a, 1
        out (PORT_VDP_DATA), a
        xor a
        out (PORT_VDP_DATA), a
        ld a, 3
        out (PORT_VDP_DATA), a
        xor a
        out (PORT_VDP_DATA), a
        dec bc
        ld a, b
        or c
        jr nz, .entry
        ld hl, sprites
        call set_sprites
        ld a, R0_MODE4 | R0_LEFT_BLANK
        ld b, 0
        call vdp_set_reg
        ld a, 3
        ld b, 7
        call vdp_set_reg
        ld a, 3
        ld b, 8
        call vdp_set_reg
        ld a, R1_BASE | R1_DISPLAY
        jp show_and_idle

sprites:
        db 1
        db 49, 4, 2

        include "testend.inc"
