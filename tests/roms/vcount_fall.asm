; The start-up check of a common homebrew library, which tells a 50 Hz console from a 60 Hz
; one: it reads the V counter twice per pass and waits until the second reading is lower
; than the first, that is until a pass straddles the moment the counter falls. The program
; repeats the check forever and counts the completed checks at CHECKS_DONE (0xC014);
; CHECK_STARTED (0xC013) is 0x5A once the first check begins. The display stays off.
; A console whose lines all last 228 T-states sees a fall within a frame or two; one whose
; passes keep the same place in every line never does, and the program hangs.
        include "testrom.inc"

CHECK_STARTED:  equ 0xC013
CHECKS_DONE:    equ 0xC014

main:
        ld a, READY_MAGIC
        ld (CHECK_STARTED), a
.check: in a, (PORT_VCOUNTER)
        ld b, a
        in a, (PORT_VCOUNTER)
        cp b
        jr nc, .check           ; not fallen: the second reading is not below the first
        ld hl, CHECKS_DONE
        inc (hl)
        jr .check

        include "testend.inc"
