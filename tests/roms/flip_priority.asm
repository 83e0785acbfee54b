; Flipped tiles, the sprite palette on the background and priority tiles over sprites.
; Palette: test_palette. Background everywhere else: tile 0 (index 0, black).
; Tile 1: pattern_tile, pixel (x, y) = index 1 + ((x + 3y) AND 7).
; Tile 2: columns 0-3 index 0, columns 4-7 index 9.
; Tile 3: solid index 1 (used by the sprites).
; Name-table row 2 (lines 16-23), tile 1 with high byte:
;   column 2: 0x00; column 4: 0x02 (H flip); column 6: 0x04 (V flip); column 8: 0x06 (both);
;   column 10: 0x08 (sprite palette); column 12: 0x0E (both flips, sprite palette).
; Name-table row 10 (lines 80-87):
;   column 10: tile 2, priority; column 14: tile 2, no priority; column 18: tile 1, priority.
; Sprites (8x8, tile 3, sprite colour 1) at lines 80-87 and x = 80, 112, 144.
; A test should see: the flipped patterns; at column 10 the sprite at x 80-83 and
; background index 9 at x 84-87; at column 14 the sprite over all eight pixels; at
; column 18 the pattern only.
        include "testrom.inc"

main:
        ld a, 1
        ld c, 0
        call vdp_tile_addr
        ld hl, pattern_tile
        ld bc, 32
        call vdp_copy
        ld b, 8                 ; tile 2: planes 0 and 3 set on the right half
.t2:    ld a, 0x0F
        out (PORT_VDP_DATA), a
        xor a
        out (PORT_VDP_DATA), a
        out (PORT_VDP_DATA), a
        ld a, 0x0F
        out (PORT_VDP_DATA), a
        djnz .t2
        ld a, 3
        ld c, 0
        call vdp_tile_addr
        ld a, 1
        call solid_tile

        ld hl, entries
.ent:   ld a, (hl)
        cp 0xFF
        jr z, .sprites
        ld b, a
        inc hl
        ld c, (hl)
        inc hl
        ld e, (hl)
        inc hl
        ld d, (hl)
        inc hl
        push hl
        call put_entry
        pop hl
        jr .ent
.sprites:
        ld hl, sprites
        call set_sprites
        ld a, R1_BASE | R1_DISPLAY
        jp show_and_idle

entries:                        ; row, column, tile, high byte
        db 2, 2, 1, 0x00
        db 2, 4, 1, NT_HFLIP
        db 2, 6, 1, NT_VFLIP
        db 2, 8, 1, NT_HFLIP | NT_VFLIP
        db 2, 10, 1, NT_SPRITE_PAL
        db 2, 12, 1, NT_HFLIP | NT_VFLIP | NT_SPRITE_PAL
        db 10, 10, 2, NT_PRIORITY
        db 10, 14, 2, 0x00
        db 10, 18, 1, NT_PRIORITY
        db 0xFF

sprites:                        ; count, then Y, X, tile
        db 3
        db 79, 80, 3
        db 79, 112, 3
        db 79, 144, 3

        include "testend.inc"
