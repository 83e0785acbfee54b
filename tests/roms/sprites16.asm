; 8x16 sprites taken from tiles 256-511, shifted 8 pixels left.
; R0 = 0x0E (bit 3: sprites 8 pixels left), R1 = 0xC2 (display, 8x16), R6 = 0xFF (sprite
; tiles 256-511). Palette: test_palette; background tile 0 (index 0, black) everywhere.
; Tiles 258, 259, 261: solid indices 2, 3, 5; tile 260: pattern_tile (1 + ((x + 3y) AND 7)).
; Tiles 2-5 hold solid index 14, a decoy that must not appear.
; Sprites (Y, X, tile):
;   0: (39, 68, 3)   tile 3 AND 0xFE = 2 -> 258 above 259: x 60-67, lines 40-47 colour 2,
;                    lines 48-55 colour 3
;   1: (99, 108, 4)  260 above 261: x 100-107, lines 100-107 the pattern, 108-115 colour 5
; A test should see exactly these pixels.
        include "testrom.inc"

main:
        ld a, 0x0E
        ld b, 0
        call vdp_set_reg
        ld a, R6_SPRITES_HIGH
        ld b, 6
        call vdp_set_reg
        ld a, 2                 ; decoys
        ld c, 0
        call vdp_tile_addr
        ld b, 4
.decoy: push bc
        ld a, 14
        call solid_tile
        pop bc
        djnz .decoy
        ld a, 2
        ld c, 1
        call vdp_tile_addr
        ld a, 2
        call solid_tile
        ld a, 3
        call solid_tile
        ld hl, pattern_tile
        ld bc, 32
        call vdp_copy
        ld a, 5
        call solid_tile
        ld hl, sprites
        call set_sprites
        ld a, R1_BASE | R1_DISPLAY | R1_SPRITE16
        jp show_and_idle

sprites:
        db 2
        db 39, 68, 3
        db 99, 108, 4

        include "testend.inc"
