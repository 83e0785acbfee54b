; The frame interrupt in each of the Z80's three modes. Interrupts are enabled while the
; CPU is still in mode 0, as a game that runs EI before IM 1 does: the bus reads 0xFF
; during the acknowledge, so mode 0 runs RST 38h. Three frames are taken in mode 0, three
; more in mode 1, then three in mode 2 through the vector at I x 256 + 0xFF. The handlers
; count at HITS_38 (0xC013, through 0x0038) and HITS_IM2 (0xC014); STAGE (0xC015) is the
; mode in use plus one, and DONE (0xC016) reads 0x5A at the end.
        include "testrom.inc"

HITS_38:        equ 0xC013
HITS_IM2:       equ 0xC014
STAGE:          equ 0xC015
DONE:           equ 0xC016
VECTOR_PAGE:    equ 0x1E
R1_FRAME_IRQ:   equ 0x20

main:
        ld hl, IRQ_HOOK
        ld de, on_frame_38
        call set_hook
        ld a, R1_BASE | R1_FRAME_IRQ
        ld b, 1
        call vdp_set_reg
        ld a, READY_MAGIC
        ld (SCENE_READY), a
        im 0
        ld a, 1
        ld (STAGE), a
        ei
        ld b, 3
        call wait_38
        im 1
        ld a, 2
        ld (STAGE), a
        ld b, 6
        call wait_38
        di
        ld a, VECTOR_PAGE
        ld i, a
        im 2
        ld a, 3
        ld (STAGE), a
        ei
.im2:   halt
        ld a, (HITS_IM2)
        cp 3
        jr c, .im2
        di
        ld a, READY_MAGIC
        ld (DONE), a
.end:   jr .end

; Halts until HITS_38 reaches B.
wait_38:
        halt
        ld a, (HITS_38)
        cp b
        jr c, wait_38
        ret

on_frame_38:
        push af
        in a, (PORT_VDP_CTRL)
        ld a, (HITS_38)
        inc a
        ld (HITS_38), a
        pop af
        ei
        reti

on_frame_im2:
        push af
        in a, (PORT_VDP_CTRL)
        ld a, (HITS_IM2)
        inc a
        ld (HITS_IM2), a
        pop af
        ei
        reti

; The mode 2 vector: the low byte at I x 256 + 0xFF, the high byte at the next address.
        ds VECTOR_PAGE * 256 + 0xFF - $, 0xFF
        dw on_frame_im2

        include "testend.inc"
