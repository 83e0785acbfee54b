; Uses the cartridge RAM: maps it at 0x8000, writes "VLMR" at its start, maps the ROM
; back, then shows the striped scene of backdrop_blank.asm. The desktop test checks that the
; battery RAM file holds "VLMR" after the program is closed.
        include "testrom.inc"

CART_RAM_CTL:   equ 0xFFFC
main:
        ld a, 0x08              ; cartridge RAM at 0x8000-0xBFFF
        ld (CART_RAM_CTL), a
        ld hl, 0x8000
        ld (hl), 'V'
        inc hl
        ld (hl), 'L'
        inc hl
        ld (hl), 'M'
        inc hl
        ld (hl), 'R'
        xor a
        ld (CART_RAM_CTL), a
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
