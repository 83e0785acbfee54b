; hello: a tiny game for the Master System, the example that `velmar-cli check` tests.
; A yellow square stands on a white floor over a blue sky; pad 1 moves it left and right,
; and button 1 sounds a tone on the PSG while it is held.
;
; Work RAM, for the ram checkpoints:
;   0xC000  frames since the game started (low byte)
;   0xC001  the square's X

PORT_VDP_DATA:  equ 0xBE
PORT_VDP_CTRL:  equ 0xBF
PORT_PSG:       equ 0x7F
PORT_PAD:       equ 0xDC
PAD_LEFT:       equ 2
PAD_RIGHT:      equ 3
PAD_BUTTON1:    equ 4

FRAMES:         equ 0xC000
SQUARE_X:       equ 0xC001
SQUARE_Y:       equ 151
START_X:        equ 124
FLOOR_ROW:      equ 20

; PSG tone 0: period 254 (about 440 Hz), full volume or silent.
TONE_LATCH:     equ 0x80 | (254 & 0x0F)
TONE_DATA:      equ 254 >> 4
TONE_ON:        equ 0x90
TONE_OFF:       equ 0x9F

        org 0
        di
        im 1
        ld sp, 0xDFF0
        jp start

        ds 0x38 - $, 0xFF
frame_interrupt:                ; acknowledged by reading the status
        push af
        in a, (PORT_VDP_CTRL)
        pop af
        ei
        reti

        ds 0x66 - $, 0xFF
        retn                    ; the pause button does nothing here

start:  ld a, TONE_OFF          ; all four PSG channels silent
        out (PORT_PSG), a
        ld a, 0xBF
        out (PORT_PSG), a
        ld a, 0xDF
        out (PORT_PSG), a
        ld a, 0xFF
        out (PORT_PSG), a
        ld a, TONE_LATCH
        out (PORT_PSG), a
        ld a, TONE_DATA
        out (PORT_PSG), a

        ld hl, registers        ; mode 4, display off for now
        ld b, 0x80
.reg:   ld a, (hl)
        out (PORT_VDP_CTRL), a
        ld a, b
        out (PORT_VDP_CTRL), a
        inc hl
        inc b
        ld a, b
        cp 0x80 + 11
        jr nz, .reg

        ld de, 0x4000           ; clear the 16 KB of video RAM
        call vdp_address
        ld bc, 0x4000
.clear: xor a
        out (PORT_VDP_DATA), a
        dec bc
        ld a, b
        or c
        jr nz, .clear

        ld de, 0xC000           ; the palette: sky, floor, and the square's yellow
        call vdp_address
        ld hl, palette
        ld b, 32
.pal:   ld a, (hl)
        out (PORT_VDP_DATA), a
        inc hl
        djnz .pal

        ld de, 0x4000 | 0x20    ; tile 1: solid colour 1
        call vdp_address
        ld b, 8
.tile:  ld a, 0xFF
        out (PORT_VDP_DATA), a
        xor a
        out (PORT_VDP_DATA), a
        out (PORT_VDP_DATA), a
        out (PORT_VDP_DATA), a
        djnz .tile

        ld de, 0x4000 | (0x3800 + FLOOR_ROW * 64) ; the floor: a row of tile 1
        call vdp_address
        ld b, 32
.floor: ld a, 1
        out (PORT_VDP_DATA), a
        xor a
        out (PORT_VDP_DATA), a
        djnz .floor

        ld de, 0x4000 | 0x3F00  ; one sprite, then the end of the list
        call vdp_address
        ld a, SQUARE_Y
        out (PORT_VDP_DATA), a
        ld a, 0xD0
        out (PORT_VDP_DATA), a

        xor a
        ld (FRAMES), a
        ld a, START_X
        ld (SQUARE_X), a
        call draw_square

        ld a, 0xE0              ; display on, frame interrupt on
        out (PORT_VDP_CTRL), a
        ld a, 0x81
        out (PORT_VDP_CTRL), a
        ei

main:   halt                    ; one pass a frame
        ld hl, FRAMES
        inc (hl)
        in a, (PORT_PAD)        ; active low
        ld c, a
        ld a, (SQUARE_X)
        bit PAD_LEFT, c
        jr nz, .notleft
        or a
        jr z, .notleft
        dec a
.notleft:
        bit PAD_RIGHT, c
        jr nz, .notright
        cp 248
        jr z, .notright
        inc a
.notright:
        ld (SQUARE_X), a
        call draw_square
        ld a, TONE_OFF
        bit PAD_BUTTON1, c
        jr nz, .tone
        ld a, TONE_ON
.tone:  out (PORT_PSG), a
        jr main

; The sprite's X and tile from SQUARE_X.
draw_square:
        ld de, 0x4000 | 0x3F80
        call vdp_address
        ld a, (SQUARE_X)
        out (PORT_VDP_DATA), a
        ld a, 1
        out (PORT_VDP_DATA), a
        ret

; Sets the VDP address (and command in the top bits) to DE.
vdp_address:
        ld a, e
        out (PORT_VDP_CTRL), a
        ld a, d
        out (PORT_VDP_CTRL), a
        ret

registers:
        db 0x06, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xFB, 0x00, 0x00, 0x00, 0xFF

; Background colours 0-15, then sprite colours 0-15 (bits 0-1 red, 2-3 green, 4-5 blue).
palette:
        db 0x24, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        db 0x00, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0

        ds 0x8000 - $, 0xFF
