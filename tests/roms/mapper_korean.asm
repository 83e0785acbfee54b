; A 64 KB cartridge on the Korean mapper (Auto finds its stores to 0xA000 and none to the
; Sega registers). It switches the bank of slot 2 through the register at 0xA000 and writes
; what it reads to 0xC000 onwards (the test names the bytes), then 0x5A to 0xC0FF. The tags of
; mapper_banks.inc tell the banks apart.
CODEMASTERS_HEADER: equ 0
RESULTS:        equ 0xC000
DONE:           equ 0xC0FF

        org 0
        di
        im 1
        ld sp, 0xDFF0
        jp main
        ds 0x0200 - $, 0xFF
        db 0xB0
main:   ld de, RESULTS
        ld a, 3
        ld (0xA000), a          ; slot 2: bank 3
        ld a, (0x8200)
        ld (de), a              ; 0: B3
        inc de
        ld a, 5
        ld (0xA000), a          ; slot 2: bank 5, that is 1 of 4
        ld a, (0x8200)
        ld (de), a              ; 1: B1
        inc de
        ld a, (0x4200)
        ld (de), a              ; 2: B1, slot 1 is fixed
        inc de
        ld a, (0x0200)
        ld (de), a              ; 3: B0, slot 0 is fixed
        inc de
        ld hl, 0xFFFF           ; no Sega register here: plain RAM
        ld (hl), 2
        ld a, (0x8200)
        ld (de), a              ; 4: B1
        inc de
        ld a, (0xDFFF)
        ld (de), a              ; 5: 02
        inc de
        ld a, 0x5A
        ld (DONE), a
.idle:  jr .idle

        include "mapper_banks.inc"
