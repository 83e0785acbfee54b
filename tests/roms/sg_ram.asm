; An SG-1000 cartridge of 8 KB (the test loads it as a .sg file): it starts at once, without
; the firmware, and checks the console's 1 KB of work RAM, seen again every kilobyte from
; 0xC000 to 0xFFFF, and the 8 KB of cartridge RAM in slot 2. What it reads goes to 0xC000
; onwards (the test names the bytes), then 0x5A to 0xC0FF.
RESULTS:        equ 0xC000
DONE:           equ 0xC0FF

        org 0
        di
        im 1
        ld sp, 0xC400
        ld de, RESULTS
        ld a, 0x11
        ld (0xC3F0), a
        ld a, (0xFFF0)
        ld (de), a              ; 0: 11, 0xFFF0 is 0xC3F0 again
        inc de
        ld a, 0x22
        ld (0xE7F0), a
        ld a, (0xC3F0)
        ld (de), a              ; 1: 22, and so is 0xE7F0
        inc de
        ld a, 0x33
        ld (0x8123), a
        ld a, (0xA123)
        ld (de), a              ; 2: 33, the cartridge RAM at 0x8000, seen again at 0xA000
        inc de
        ld a, 0x44
        ld (0x1123), a          ; ROM: unchanged
        ld a, (0x1123)
        ld (de), a              ; 3: FF
        inc de
        ld a, 0x5A
        ld (DONE), a
.idle:  jr .idle

        ds 0x2000 - $, 0xFF
