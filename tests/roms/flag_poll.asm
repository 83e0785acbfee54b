; A program that polls the video status for a sprite collision, as some games do, and counts
; the reads that come before the flag shows. Sprites 0 and 1, solid 8 x 8 blocks, lie on top
; of each other at X 200 on lines 100-107, so the chip finds them colliding at pixel 200 of
; line 100. A line interrupt on line 100 wakes the CPU from HALT (the handler starts at
; T-state 33 of the line); the handler's first status read (T-state 44) clears what earlier
; lines left, then it reads the status every 41 T-states, from T-state 61 on, and stores at
; POLLS_BEFORE (0xC013) how many reads did not see the collision. The count is renewed every
; frame.
        include "testrom.inc"

POLLS_BEFORE:   equ 0xC013
STATUS_COLLIDE: equ 0x20
R0_LINE_IRQ:    equ 0x10
COLLISION_LINE: equ 100

main:
        ld hl, IRQ_HOOK
        ld de, on_line
        call set_hook
        ld b, 1
        ld c, 1
        call solid_tiles
        ld hl, sprites
        call set_sprites
        ld a, COLLISION_LINE
        ld b, 10
        call vdp_set_reg
        ld a, R0_MODE4 | R0_LINE_IRQ
        ld b, 0
        call vdp_set_reg
        ld a, R1_BASE | R1_DISPLAY
        ld b, 1
        call vdp_set_reg
        ld a, READY_MAGIC
        ld (SCENE_READY), a
        ei
.loop:  halt
        jr .loop

on_line:                        ; T-state 33 of the line
        in a, (PORT_VDP_CTRL)   ; 11: acknowledge, and drop the flags of earlier lines
        ld b, 0                 ; 7
.poll:  in a, (PORT_VDP_CTRL)   ; 11, its I/O 10 in: T-state 61, 102, 143, ...
        and STATUS_COLLIDE      ; 7
        jr nz, .seen            ; 7
        inc b                   ; 4
        jr .poll                ; 12
.seen:  ld a, b
        ld (POLLS_BEFORE), a
        ei
        reti

sprites:
        db 2
        db COLLISION_LINE - 1, 200, 1
        db COLLISION_LINE - 1, 200, 1

        include "testend.inc"
