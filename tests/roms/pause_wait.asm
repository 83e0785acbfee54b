; A game's pause: frame interrupts count the frames at FRAMES (0xC015) while the main loop
; halts between them. The pause button's NMI handler counts the presses at PAUSES (0xC016)
; and, on a first press, waits inside the handler until the next press clears PAUSED
; (0xC017): the game stands still, frame interrupts included, until then. A press that
; arrives while the handler waits is a nested NMI, which only clears PAUSED. Neither NMI
; touches IFF2, so each RETN turns the frame interrupt back on.
        include "testrom.inc"

FRAMES:         equ 0xC015
PAUSES:         equ 0xC016
PAUSED:         equ 0xC017
R1_FRAME_IRQ:   equ 0x20

main:
        ld hl, IRQ_HOOK
        ld de, on_frame
        call set_hook
        ld hl, NMI_HOOK
        ld de, on_pause
        call set_hook
        ld a, R1_BASE | R1_FRAME_IRQ
        ld b, 1
        call vdp_set_reg
        ld a, READY_MAGIC
        ld (SCENE_READY), a
        ei
.loop:  halt
        jr .loop

on_frame:
        push af
        in a, (PORT_VDP_CTRL)
        ld a, (FRAMES)
        inc a
        ld (FRAMES), a
        pop af
        ei
        reti

on_pause:
        push af
        push hl
        ld hl, PAUSES
        inc (hl)
        ld a, (PAUSED)
        or a
        jr nz, .resume          ; the second press
        inc a
        ld (PAUSED), a
.wait:  ld a, (PAUSED)
        or a
        jr nz, .wait
        pop hl
        pop af
        retn                    ; IFF1 from IFF2: interrupts on again
.resume:
        xor a
        ld (PAUSED), a
        pop hl
        pop af
        retn

        include "testend.inc"
