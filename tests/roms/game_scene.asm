; A scene shaped like a running game, for speed measurements: a detailed background of 160
; generated tiles (dithered pairs, clustered noise, bricks) with random flips, palettes and a
; few priority tiles, two rows of text, 64 moving 8x8 sprites, a background scrolling in
; both directions, and a tune on three PSG tone channels, the noise channel and three FM
; channels. The main loop polls the status register for the frame interrupt flag, then
; writes the scroll registers and the whole sprite table and steps the tune, as game code
; does in its vertical blank.
        include "testrom.inc"

SEED:           equ 0xC100      ; 16-bit random state
SCROLL_X:       equ 0xC102
SCROLL_Y:       equ 0xC103
FRAMES:         equ 0xC104
STEP:           equ 0xC105      ; tune step 0-15
STEP_WAIT:      equ 0xC106      ; frames left in this step
SPRITES:        equ 0xC200      ; 64 x (y, x, dy, dx)

DITHER_TILES:   equ 0           ; 64 two-colour dither tiles
NOISE_TILES:    equ 64          ; 64 clustered noise tiles
BRICK_TILES:    equ 128         ; 32 brick tiles
GLYPH_TILES:    equ 160         ; the font
SPRITE_TILES:   equ 192         ; 4 sprite shapes
DETAIL_TILES:   equ 160

main:
        ld hl, 0xACE1
        ld (SEED), hl
        call make_dither_tiles
        call make_noise_tiles
        call make_brick_tiles
        call make_glyph_tiles
        ld a, SPRITE_TILES
        ld c, 0
        call vdp_tile_addr
        ld hl, sprite_shapes
        ld bc, 4 * 32
        call vdp_copy
        ld de, 0                ; the entry a first repeat repeats
        call make_name_table
        ld hl, text_top
        ld de, VRAM_NAME + (2 * 32 + 4) * 2
        call put_text
        ld hl, text_bottom
        ld de, VRAM_NAME + (25 * 32 + 6) * 2
        call put_text
        call init_sprites
        call init_sound
        ld a, R0_MODE4 | R0_LEFT_BLANK
        ld b, 0
        call vdp_set_reg
        ld a, R1_BASE | R1_DISPLAY
        ld b, 1
        call vdp_set_reg
        ld a, READY_MAGIC
        ld (SCENE_READY), a

frame:  in a, (PORT_VDP_CTRL)
        and 0x80
        jr z, frame
        ld hl, FRAMES
        inc (hl)
        ld hl, SCROLL_X
        dec (hl)
        ld a, (hl)
        ld b, 8
        call vdp_set_reg
        ld a, (FRAMES)
        and 3
        jr nz, .frame_keepy
        ld a, (SCROLL_Y)
        inc a
        cp 224
        jr c, .frame_sety
        xor a
.frame_sety:  ld (SCROLL_Y), a
.frame_keepy: ld a, (SCROLL_Y)
        ld b, 9
        call vdp_set_reg
        call move_sprites
        call write_sprites
        call step_tune
        jr frame

; 16-bit xorshift; returns the new high byte in A.
rand:   push hl
        ld hl, (SEED)
        ld a, h
        rra
        ld a, l
        rra
        xor h
        ld h, a
        ld a, l
        rra
        ld a, h
        rra
        xor l
        ld l, a
        xor h
        ld h, a
        ld (SEED), hl
        pop hl
        ret

; Dither tiles: two random colour indices on alternate pixels, the checkerboard turning
; every row.
make_dither_tiles:
        ld a, DITHER_TILES
        ld c, 0
        call vdp_tile_addr
        ld d, 64
.dither_tile:  call rand
        and 0x0F
        ld b, a                 ; colour on even pixels
        call rand
        and 0x0F
        ld c, a                 ; colour on odd pixels
        ld e, 8
.dither_row:   ld a, e
        and 1
        ld a, 0xAA
        jr z, .dither_mask
        ld a, 0x55
.dither_mask:  push de
        ld d, a                 ; D: B's pixels, H: C's pixels
        cpl
        ld h, a
        push bc
        ld e, 4
.dither_plane: xor a
        srl b
        jr nc, .dither_nob
        ld a, d
.dither_nob:   srl c
        jr nc, .dither_noc
        or h
.dither_noc:   out (PORT_VDP_DATA), a
        dec e
        jr nz, .dither_plane
        pop bc
        pop de
        dec e
        jr nz, .dither_row
        dec d
        jr nz, .dither_tile
        ret

; Noise tiles: planes of random bits thinned out, so a few colours cluster.
make_noise_tiles:
        ld a, NOISE_TILES
        ld c, 0
        call vdp_tile_addr
        ld de, 64 * 8
.noise_row:   call rand
        out (PORT_VDP_DATA), a
        call rand
        ld b, a
        call rand
        and b
        out (PORT_VDP_DATA), a
        ld a, e
        and 0x08
        jr z, .noise_zero
        ld a, 0xFF
.noise_zero:  out (PORT_VDP_DATA), a
        call rand
        ld b, a
        call rand
        and b
        ld b, a
        call rand
        and b
        out (PORT_VDP_DATA), a
        dec de
        ld a, d
        or e
        jr nz, .noise_row
        ret

; Bricks: mortar (index 1) on row 0 and one column, brick colour random with a lighter top.
make_brick_tiles:
        ld a, BRICK_TILES
        ld c, 0
        call vdp_tile_addr
        ld d, 32
.brick_tile:  call rand
        and 0x0E
        or 0x02
        ld c, a                 ; brick colour
        ld e, 0
.brick_row:   ld h, 0xFF              ; mortar row
        ld b, 1
        ld a, e
        or a
        jr z, .brick_emit
        ld b, c
        cp 1
        jr nz, .brick_col
        inc b                   ; lighter top row
.brick_col:   ld a, d
        and 7
        ld h, 0x80              ; one mortar column, by tile
        jr z, .brick_emit
.brick_shift: rrc h
        dec a
        jr nz, .brick_shift
.brick_emit:  push de                 ; pixels in H take index 1, the others index B
        ld a, h
        cpl
        ld d, a
        ld l, b
        xor a
        srl l
        jr nc, .brick_p0
        ld a, d
.brick_p0:    or h
        out (PORT_VDP_DATA), a
        ld e, 3
.brick_plane: xor a
        srl l
        jr nc, .brick_p
        ld a, d
.brick_p:     out (PORT_VDP_DATA), a
        dec e
        jr nz, .brick_plane
        pop de
        inc e
        ld a, e
        cp 8
        jr nz, .brick_row
        dec d
        jr nz, .brick_tile
        ret

; Glyphs: index 15 on index 4.
make_glyph_tiles:
        ld a, GLYPH_TILES
        ld c, 0
        call vdp_tile_addr
        ld hl, font
        ld d, font_end - font
.glyph_row:   ld a, (hl)
        out (PORT_VDP_DATA), a
        out (PORT_VDP_DATA), a
        ld a, 0xFF
        out (PORT_VDP_DATA), a
        ld a, (hl)
        out (PORT_VDP_DATA), a
        inc hl
        dec d
        jr nz, .glyph_row
        ret

; Name table: runs of repeated entries (about half the entries repeat the one before) of
; random detailed tiles, with flips, the sprite palette on a third of them and priority on a
; few.
make_name_table:
        ld hl, VRAM_NAME
        call vdp_write_addr
        ld bc, 32 * 28
.nt_entry:
        call rand
        cp 0x80
        jr c, .nt_write         ; E, D: the previous entry again
        call rand
        cp DETAIL_TILES
        jr c, .nt_tile
        sub DETAIL_TILES
.nt_tile:
        ld e, a
        call rand
        and NT_HFLIP | NT_VFLIP | NT_SPRITE_PAL | NT_PRIORITY
        ld d, a
        and NT_PRIORITY
        jr z, .nt_write
        call rand
        cp 0x30                 ; keep priority on about one tile in sixteen
        jr c, .nt_write
        ld a, d
        xor NT_PRIORITY
        ld d, a
.nt_write:
        ld a, e
        out (PORT_VDP_DATA), a
        ld a, d
        out (PORT_VDP_DATA), a
        dec bc
        ld a, b
        or c
        jr nz, .nt_entry
        ret

; Writes the glyph numbers at HL (0xFF ends) from name-table address DE on.
put_text:
        ex de, hl
        call vdp_write_addr
        ex de, hl
.put_text_char:  ld a, (hl)
        cp 0xFF
        ret z
        add a, GLYPH_TILES
        out (PORT_VDP_DATA), a
        xor a
        out (PORT_VDP_DATA), a
        inc hl
        jr .put_text_char

init_sprites:
        ld hl, SPRITES
        ld b, 64
.init_sprites_one:   call rand
        and 0x7F
        add a, 24
        ld (hl), a              ; y 24-151
        inc hl
        call rand
        ld (hl), a              ; x
        inc hl
        call rand
        and 1
        add a, a
        dec a
        ld (hl), a              ; dy -1 or 1
        inc hl
        call rand
        and 3
        sub 2
        jr nz, .init_sprites_dx
        inc a
.init_sprites_dx:    ld (hl), a              ; dx -2, -1, 1
        inc hl
        djnz .init_sprites_one
        ret

; Moves every sprite, bouncing between lines 8 and 176.
move_sprites:
        ld hl, SPRITES
        ld b, 64
.move_sprites_one:   ld a, (hl)
        inc hl
        inc hl
        add a, (hl)
        cp 8
        jr c, .move_sprites_turn
        cp 177
        jr c, .move_sprites_keep
.move_sprites_turn:  ld c, a
        ld a, (hl)
        neg
        ld (hl), a
        ld a, c
.move_sprites_keep:  dec hl
        dec hl
        ld (hl), a
        inc hl
        ld a, (hl)
        inc hl
        inc hl
        add a, (hl)
        dec hl
        dec hl
        ld (hl), a
        inc hl
        inc hl
        inc hl
        djnz .move_sprites_one
        ret

; The sprite table: 64 Y values, then X and tile pairs.
write_sprites:
        ld hl, VRAM_SAT
        call vdp_write_addr
        ld hl, SPRITES
        ld b, 64
        ld de, 4
.write_sprites_ys:    ld a, (hl)
        out (PORT_VDP_DATA), a
        add hl, de
        djnz .write_sprites_ys
        ld hl, VRAM_SAT + 128
        call vdp_write_addr
        ld hl, SPRITES + 1
        ld b, 64
        ld c, 0
.write_sprites_xs:    ld a, (hl)
        out (PORT_VDP_DATA), a
        ld a, c
        and 3
        add a, SPRITE_TILES
        out (PORT_VDP_DATA), a
        inc c
        add hl, de
        djnz .write_sprites_xs
        ret

init_sound:
        ld a, 0xAF
        out (PORT_MEMCTL), a
        ld a, 0x01
        out (PORT_FM_CTRL), a
        in a, (PORT_FM_CTRL)
        ld (FM_DETECT), a
        ld a, 0xAB
        out (PORT_MEMCTL), a
        ld hl, psg_setup
        ld b, psg_setup_end - psg_setup
.init_sound_psg:   ld a, (hl)
        out (PORT_PSG), a
        inc hl
        djnz .init_sound_psg
        ld hl, fm_setup
.init_sound_fm:    ld a, (hl)
        cp 0xFF
        jr z, .init_sound_done
        inc hl
        ld e, (hl)
        inc hl
        call fm_write
        jr .init_sound_fm
.init_sound_done:  ld a, 1
        ld (STEP_WAIT), a
        ret

; Writes E to FM register A.
fm_write:
        out (PORT_FM_ADDR), a
        push bc
        ld b, 4
.fm_write_w1:    djnz .fm_write_w1
        ld a, e
        out (PORT_FM_DATA), a
        ld b, 8
.fm_write_w2:    djnz .fm_write_w2
        pop bc
        ret

; Every eight frames: the next melody note on channel 0, the bass on channel 1, a
; counter-melody on channel 2, and a noise beat on every other step.
step_tune:
        ld hl, STEP_WAIT
        dec (hl)
        ret nz
        ld (hl), 8
        ld a, (STEP)
        inc a
        and 15
        ld (STEP), a
        ld e, a
        ld d, 0
        ld hl, melody
        add hl, de
        ld a, (hl)
        ld c, 0
        call play_note
        ld a, (STEP)
        rrca
        rrca
        and 3
        ld e, a
        ld d, 0
        ld hl, bass
        add hl, de
        ld a, (hl)
        ld c, 1
        call play_note
        ld a, (STEP)
        xor 5
        and 7
        ld c, 2
        call play_note
        ld a, (STEP)
        and 1
        ld a, 0xF2              ; noise loud on even steps
        jr z, .step_tune_beat
        ld a, 0xFF
.step_tune_beat:  out (PORT_PSG), a
        ret

; Plays note A (0-15) on PSG tone channel C and on FM channel C.
play_note:
        add a, a
        ld e, a
        ld d, 0
        ld hl, psg_notes
        add hl, de
        ld a, c
        rrca
        rrca
        rrca
        or 0x80
        or (hl)
        out (PORT_PSG), a
        inc hl
        ld a, (hl)
        out (PORT_PSG), a
        ld hl, fm_notes
        add hl, de
        ld a, 0x10
        add a, c
        ld e, (hl)
        call fm_write
        inc hl
        ld a, 0x20
        add a, c
        ld e, 0
        call fm_write           ; key off, then on with the new note
        ld a, 0x20
        add a, c
        ld e, (hl)
        set 4, e
        jp fm_write

psg_setup:
        db 0x92, 0xB4, 0xD6     ; tone channels loud to soft
        db 0xE5, 0xFF           ; white noise, silent until the first beat
psg_setup_end:

fm_setup:                       ; register, value
        db 0x0E, 0x00           ; melodic mode
        db 0x30, 0x12           ; channel 0: violin, volume 2
        db 0x31, 0x33           ; channel 1: piano, volume 3
        db 0x32, 0x54           ; channel 2: flute, volume 4
        db 0xFF

; Two octaves of a major scale from C: PSG periods and FM F-numbers with their blocks.
psg_notes:
        db 428 & 15, 428 >> 4, 381 & 15, 381 >> 4, 339 & 15, 339 >> 4, 320 & 15, 320 >> 4
        db 285 & 15, 285 >> 4, 254 & 15, 254 >> 4, 226 & 15, 226 >> 4, 214 & 15, 214 >> 4
        db 190 & 15, 190 >> 4, 170 & 15, 170 >> 4, 160 & 15, 160 >> 4, 143 & 15, 143 >> 4
        db 127 & 15, 127 >> 4, 113 & 15, 113 >> 4, 107 & 15, 107 >> 4, 95 & 15, 95 >> 4
fm_notes:
        db 172, 8, 193, 8, 217, 8, 230, 8, 258 & 255, 9, 290 & 255, 9, 325 & 255, 9, 172, 10
        db 193, 10, 217, 10, 230, 10, 258 & 255, 11, 290 & 255, 11, 325 & 255, 11, 172, 12
        db 193, 12

melody: db 7, 9, 11, 9, 7, 4, 5, 4, 2, 4, 5, 7, 9, 7, 4, 2
bass:   db 0, 3, 4, 0

; Glyph numbers: 0 space, 1-10 digits 0-9, then A C E I L M O R S T V.
G_A: equ 11
G_C: equ 12
G_E: equ 13
G_I: equ 14
G_L: equ 15
G_M: equ 16
G_O: equ 17
G_R: equ 18
G_S: equ 19
G_T: equ 20
G_V: equ 21

text_top:
        db G_S, G_C, G_O, G_R, G_E, 0, 1, 1, 3, 8, 5, 10, 1, 0, 0, G_T, G_I, G_M, G_E, 0, 3, 10, 6
        db 0xFF
text_bottom:
        db G_V, G_E, G_L, G_M, G_A, G_R, 0, 0, G_L, G_I, G_V, G_E, G_S, 0, 4, 0xFF

font:
        db 0, 0, 0, 0, 0, 0, 0, 0                                   ; space
        db 0x3C, 0x66, 0x6E, 0x76, 0x66, 0x66, 0x3C, 0x00           ; 0
        db 0x18, 0x38, 0x18, 0x18, 0x18, 0x18, 0x7E, 0x00           ; 1
        db 0x3C, 0x66, 0x06, 0x1C, 0x30, 0x60, 0x7E, 0x00           ; 2
        db 0x3C, 0x66, 0x06, 0x1C, 0x06, 0x66, 0x3C, 0x00           ; 3
        db 0x0C, 0x1C, 0x3C, 0x6C, 0x7E, 0x0C, 0x0C, 0x00           ; 4
        db 0x7E, 0x60, 0x7C, 0x06, 0x06, 0x66, 0x3C, 0x00           ; 5
        db 0x3C, 0x60, 0x7C, 0x66, 0x66, 0x66, 0x3C, 0x00           ; 6
        db 0x7E, 0x06, 0x0C, 0x18, 0x30, 0x30, 0x30, 0x00           ; 7
        db 0x3C, 0x66, 0x66, 0x3C, 0x66, 0x66, 0x3C, 0x00           ; 8
        db 0x3C, 0x66, 0x66, 0x3E, 0x06, 0x0C, 0x38, 0x00           ; 9
        db 0x18, 0x3C, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x00           ; A
        db 0x3C, 0x66, 0x60, 0x60, 0x60, 0x66, 0x3C, 0x00           ; C
        db 0x7E, 0x60, 0x60, 0x7C, 0x60, 0x60, 0x7E, 0x00           ; E
        db 0x3C, 0x18, 0x18, 0x18, 0x18, 0x18, 0x3C, 0x00           ; I
        db 0x60, 0x60, 0x60, 0x60, 0x60, 0x60, 0x7E, 0x00           ; L
        db 0x63, 0x77, 0x7F, 0x6B, 0x63, 0x63, 0x63, 0x00           ; M
        db 0x3C, 0x66, 0x66, 0x66, 0x66, 0x66, 0x3C, 0x00           ; O
        db 0x7C, 0x66, 0x66, 0x7C, 0x6C, 0x66, 0x66, 0x00           ; R
        db 0x3C, 0x66, 0x60, 0x3C, 0x06, 0x66, 0x3C, 0x00           ; S
        db 0x7E, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0x00           ; T
        db 0x66, 0x66, 0x66, 0x66, 0x66, 0x3C, 0x18, 0x00           ; V
font_end:

; Four sprite shapes, 8x8, four planes per row: a ball, a ring, a diamond and a ship.
sprite_shapes:
        db 0x3C, 0x00, 0x3C, 0x00, 0x7E, 0x18, 0x7E, 0x00
        db 0xFF, 0x3C, 0xFF, 0x00, 0xFF, 0x3C, 0xFF, 0x00
        db 0xFF, 0x3C, 0xFF, 0x00, 0xFF, 0x3C, 0xFF, 0x00
        db 0x7E, 0x18, 0x7E, 0x00, 0x3C, 0x00, 0x3C, 0x00

        db 0x3C, 0x3C, 0x00, 0x00, 0x42, 0x7E, 0x00, 0x00
        db 0x81, 0xC3, 0x3C, 0x00, 0x81, 0x81, 0x7E, 0x00
        db 0x81, 0x81, 0x7E, 0x00, 0x81, 0xC3, 0x3C, 0x00
        db 0x42, 0x7E, 0x00, 0x00, 0x3C, 0x3C, 0x00, 0x00

        db 0x18, 0x00, 0x18, 0x18, 0x3C, 0x00, 0x24, 0x3C
        db 0x7E, 0x00, 0x42, 0x7E, 0xFF, 0x00, 0x81, 0xFF
        db 0x7E, 0x00, 0x42, 0x7E, 0x3C, 0x00, 0x24, 0x3C
        db 0x18, 0x00, 0x18, 0x18, 0x00, 0x00, 0x00, 0x00

        db 0x18, 0x18, 0x18, 0x00, 0x3C, 0x24, 0x3C, 0x00
        db 0x7E, 0x42, 0x7E, 0x18, 0xFF, 0x81, 0xFF, 0x18
        db 0xFF, 0xFF, 0x81, 0x00, 0xDB, 0xDB, 0x00, 0x00
        db 0x81, 0x00, 0x81, 0x81, 0x00, 0x00, 0x00, 0x00

        include "testend.inc"
