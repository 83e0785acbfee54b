; A 64 KB cartridge on the Codemasters mapper (Auto finds its header block). It switches the
; banks of all three slots through the registers at 0x0000, 0x4000 and 0x8000, uses the 8 KB
; of cartridge RAM at 0xA000, and writes what it reads to 0xC000 onwards (the test names the
; bytes), then 0x5A to 0xC0FF. The tags of mapper_banks.inc tell the banks apart.
CODEMASTERS_HEADER: equ 1
RESULTS:        equ 0xC000
DONE:           equ 0xC0FF
SLOT0_CODE:     equ 0xC100

        org 0
        di
        im 1
        ld sp, 0xDFF0
        jp main
        ds 0x0200 - $, 0xFF
        db 0xB0
main:   ld de, RESULTS
        ld a, 3
        ld (0x8000), a          ; slot 2: bank 3
        ld a, (0x8200)
        ld (de), a              ; 0: B3
        inc de
        ld a, 6
        ld (0x4000), a          ; slot 1: bank 6, that is 2 of 4
        ld a, (0x4200)
        ld (de), a              ; 1: B2
        inc de
        ld a, 0x81
        ld (0x4000), a          ; slot 1: bank 1, and the RAM at 0xA000
        ld a, (0x4200)
        ld (de), a              ; 2: B1
        inc de
        ld a, 0x5A
        ld (0xA123), a
        ld a, (0xA123)
        ld (de), a              ; 3: 5A from the RAM
        inc de
        ld a, (0x8200)
        ld (de), a              ; 4: B3, the lower half of slot 2 is still ROM
        inc de
        ld a, 1
        ld (0x4000), a          ; RAM off
        ld a, (0xA000)
        ld (de), a              ; 5: B3, ROM again
        inc de
        ld a, 0x81
        ld (0x4000), a
        ld a, (0xA123)
        ld (de), a              ; 6: 5A, the RAM kept its byte
        inc de
        ld hl, slot0_code       ; slot 0 is switched from RAM
        push de
        ld de, SLOT0_CODE
        ld bc, slot0_end - slot0_code
        ldir
        pop de
        call SLOT0_CODE
        ld (de), a              ; 7: B2, read at 0x0200: no kilobyte is fixed
        inc de
        ld a, 1
        ld (0xFFFF), a          ; no Sega register here: plain RAM
        ld a, (0x8200)
        ld (de), a              ; 8: B3
        inc de
        ld a, 0x5A
        ld (DONE), a
.idle:  jr .idle

; Runs from RAM: bank 2 in slot 0, reads its tag into A, bank 0 back.
slot0_code:
        ld a, 2
        ld (0x0000), a
        ld a, (0x0200)
        ld b, a
        xor a
        ld (0x0000), a
        ld a, b
        ret
slot0_end:

        include "mapper_banks.inc"
