; A still stage shaped like a fighting game's, for speed measurements: a detailed background
; that never moves (clustered noise tiles above, a floor of bricks below, random flips and
; palettes), two fighters of six 8x16 sprites each, one walking to and fro, the other walking
; and jumping, and a tune on two PSG tone channels; no FM. The main loop polls the status
; register for the frame interrupt flag, then moves the fighters, writes their sprites and
; steps the tune.
        include "testrom.inc"

SEED:           equ 0xC100      ; 16-bit random state
STEP:           equ 0xC102      ; tune step 0-15
STEP_WAIT:      equ 0xC103      ; frames left in this step
FIGHTERS:       equ 0xC110      ; 2 x (y, x, dy, dx)

NOISE_TILES:    equ 0           ; 64 clustered noise tiles
BRICK_TILES:    equ 64          ; 32 brick tiles
FIGHTER_TILES:  equ 192         ; three 8x16 parts: head, body, legs
FLOOR_ROW:      equ 17          ; name-table rows from here on are bricks
GROUND:         equ 111         ; a standing fighter's Y (lines 112-159)
TOP:            equ 63          ; the top of a jump

main:
        ld hl, 0x7A31
        ld (SEED), hl
        call make_noise_tiles
        call make_brick_tiles
        call make_fighter_tiles
        call make_name_table
        ld hl, fighters_start
        ld de, FIGHTERS
        ld bc, 8
        ldir
        ld hl, psg_setup
        ld b, psg_setup_end - psg_setup
.main_psg:
        ld a, (hl)
        out (PORT_PSG), a
        inc hl
        djnz .main_psg
        ld a, 1
        ld (STEP_WAIT), a
        ld a, R0_MODE4 | R0_LEFT_BLANK
        ld b, 0
        call vdp_set_reg
        ld a, R1_BASE | R1_DISPLAY | R1_SPRITE16
        ld b, 1
        call vdp_set_reg
        ld a, READY_MAGIC
        ld (SCENE_READY), a

frame:  in a, (PORT_VDP_CTRL)
        and 0x80
        jr z, frame
        ld ix, FIGHTERS
        call move_fighter
        ld ix, FIGHTERS + 4
        call move_fighter
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

; Noise tiles: planes of random bits thinned out, so a few colours cluster.
make_noise_tiles:
        ld a, NOISE_TILES
        ld c, 0
        call vdp_tile_addr
        ld de, 64 * 8
.noise_row:
        call rand
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
.noise_zero:
        out (PORT_VDP_DATA), a
        call rand
        ld b, a
        call rand
        and b
        out (PORT_VDP_DATA), a
        dec de
        ld a, d
        or e
        jr nz, .noise_row
        ret

; Bricks: mortar (index 1) on row 0 and column 0, the brick a random colour with a lighter
; top row.
make_brick_tiles:
        ld a, BRICK_TILES
        ld c, 0
        call vdp_tile_addr
        ld d, 32
.brick_tile:
        call rand
        and 0x0E
        or 0x02
        ld c, a                 ; brick colour
        ld e, 0
.brick_row:
        ld h, 0xFF              ; mortar row
        ld b, 1
        ld a, e
        or a
        jr z, .brick_emit
        ld h, 0x80              ; mortar column
        ld b, c
        cp 1
        jr nz, .brick_emit
        inc b                   ; lighter top row
.brick_emit:
        push de                 ; pixels in H take index 1, the others index B
        ld a, h
        cpl
        ld d, a
        ld l, b
        xor a
        srl l
        jr nc, .brick_p0
        ld a, d
.brick_p0:
        or h
        out (PORT_VDP_DATA), a
        ld e, 3
.brick_plane:
        xor a
        srl l
        jr nc, .brick_p
        ld a, d
.brick_p:
        out (PORT_VDP_DATA), a
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

; Fighter parts, each two tiles: the pattern tile over solid 9 (head), solid 5 over the
; pattern tile (body), solid 12 over solid 3 (legs).
make_fighter_tiles:
        ld a, FIGHTER_TILES
        ld c, 0
        call vdp_tile_addr
        ld hl, pattern_tile
        ld bc, 32
        call vdp_copy
        ld a, 9
        call solid_tile
        ld a, 5
        call solid_tile
        ld hl, pattern_tile
        ld bc, 32
        call vdp_copy
        ld a, 12
        call solid_tile
        ld a, 3
        jp solid_tile

; Name table: noise tiles above the floor and bricks from FLOOR_ROW down, each with random
; flips and palette.
make_name_table:
        ld hl, VRAM_NAME
        call vdp_write_addr
        ld b, 0                 ; row
.nt_row:
        ld c, 32
.nt_entry:
        call rand
        and 63
        ld e, a
        ld a, b
        cp FLOOR_ROW
        jr c, .nt_flags
        ld a, e
        and 31
        add a, BRICK_TILES
        ld e, a
.nt_flags:
        call rand
        and NT_HFLIP | NT_VFLIP | NT_SPRITE_PAL
        ld d, a
        ld a, e
        out (PORT_VDP_DATA), a
        ld a, d
        out (PORT_VDP_DATA), a
        dec c
        jr nz, .nt_entry
        inc b
        ld a, b
        cp 28
        jr c, .nt_row
        ret

; Moves the fighter at IX: X by its dx, turning at its two walls; a fighter with a non-zero
; dy rises to TOP and falls back to GROUND.
move_fighter:
        ld a, (ix + 1)
        add a, (ix + 3)
        ld (ix + 1), a
        cp 24
        jr c, .move_turn
        cp 216
        jr c, .move_y
.move_turn:
        ld a, (ix + 3)
        neg
        ld (ix + 3), a
.move_y:
        ld a, (ix + 2)
        or a
        ret z
        add a, (ix + 0)
        ld (ix + 0), a
        cp TOP
        jr z, .move_flip
        cp GROUND
        ret nz
.move_flip:
        ld a, (ix + 2)
        neg
        ld (ix + 2), a
        ret

; The sprite table: each fighter's six parts, two across and three down, then the end mark.
write_sprites:
        ld hl, VRAM_SAT
        call vdp_write_addr
        ld ix, FIGHTERS
        call .write_ys
        ld ix, FIGHTERS + 4
        call .write_ys
        ld a, SPRITE_END
        out (PORT_VDP_DATA), a
        ld hl, VRAM_SAT + 128
        call vdp_write_addr
        ld ix, FIGHTERS
        call .write_xs
        ld ix, FIGHTERS + 4
.write_xs:
        ld c, FIGHTER_TILES
        ld b, 3
.write_xs_part:
        ld a, (ix + 1)
        out (PORT_VDP_DATA), a
        ld a, c
        out (PORT_VDP_DATA), a
        ld a, (ix + 1)
        add a, 8
        out (PORT_VDP_DATA), a
        ld a, c
        out (PORT_VDP_DATA), a
        inc c
        inc c
        djnz .write_xs_part
        ret
.write_ys:
        ld a, (ix + 0)
        ld b, 3
.write_ys_part:
        out (PORT_VDP_DATA), a
        out (PORT_VDP_DATA), a
        add a, 16
        djnz .write_ys_part
        ret

; Every eight frames the next melody note on tone channel 0 and a bass note on channel 1.
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
; Plays note A (0-7) on PSG tone channel C.
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
        ret

fighters_start:                 ; y, x, dy, dx
        db GROUND, 48, 0, 1
        db GROUND, 176, -1, -2

psg_setup:
        db 0x92, 0xB5           ; tone channels 0 and 1
        db 0xDF, 0xFF           ; channel 2 and the noise silent
psg_setup_end:

psg_notes:                      ; a major scale from C: periods, low 4 bits then the rest
        db 428 & 15, 428 >> 4, 381 & 15, 381 >> 4, 339 & 15, 339 >> 4, 320 & 15, 320 >> 4
        db 285 & 15, 285 >> 4, 254 & 15, 254 >> 4, 226 & 15, 226 >> 4, 214 & 15, 214 >> 4

melody: db 4, 5, 7, 5, 4, 2, 0, 2, 4, 4, 2, 2, 0, 1, 2, 4
bass:   db 0, 3, 4, 0

        include "testend.inc"
