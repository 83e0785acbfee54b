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
        include "backdrop_scene.inc"

        include "testend.inc"
