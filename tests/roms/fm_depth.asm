; Two FM notes on channel 0 at F-number 256, block 4, volume 0, the PSG silent and the
; display off. First the user instrument 21 21 25 00 F0 F0 00 00: both operators at
; multiplier 1 and sustained, the modulator at total level 37 without feedback, instant
; attacks. RAM 0xC020 (SCENE_READY) is 0x5A once it is keyed. After 40 frames the channel
; switches to instrument 1 (violin) and is keyed again; RAM 0xC013 (VIOLIN) is 0x5A then.
        include "testrom.inc"

WAIT_FRAMES:    equ 40
VIOLIN:         equ 0xC013

main:
        ld a, R1_BASE
        ld b, 1
        call vdp_set_reg
        ld hl, psg_silence
        ld b, 4
.psg:   ld a, (hl)
        out (PORT_PSG), a
        inc hl
        djnz .psg
        ld hl, user_note
        call fm_write_list
        ld a, READY_MAGIC
        ld (SCENE_READY), a
        ld b, WAIT_FRAMES
.frame: in a, (PORT_VDP_CTRL)
        rlca
        jr nc, .frame
        djnz .frame
        ld hl, violin_note
        call fm_write_list
        ld a, READY_MAGIC
        ld (VIOLIN), a
        jp idle

; Writes the register, value pairs at HL up to a register of 0xFF.
fm_write_list:
        ld a, (hl)
        cp 0xFF
        ret z
        out (PORT_FM_ADDR), a
        inc hl
        call fm_wait
        ld a, (hl)
        out (PORT_FM_DATA), a
        inc hl
        call fm_wait
        jr fm_write_list

; The chip wants a pause between writes.
fm_wait:
        push bc
        ld b, 8
.w:     djnz .w
        pop bc
        ret

psg_silence:
        db 0x9F, 0xBF, 0xDF, 0xFF

user_note:                      ; register, value
        db 0x00, 0x21, 0x01, 0x21, 0x02, 0x25, 0x03, 0x00
        db 0x04, 0xF0, 0x05, 0xF0, 0x06, 0x00, 0x07, 0x00
        db 0x0E, 0x00           ; melodic mode
        db 0x30, 0x00           ; channel 0: user instrument, volume 0
        db 0x10, 0x00           ; F-number 256: low bits 0
        db 0x20, 0x10 | (4 << 1) | 1    ; key on, block 4, F-number bit 8
        db 0xFF

violin_note:
        db 0x20, (4 << 1) | 1   ; key off
        db 0x30, 0x10           ; instrument 1, volume 0
        db 0x20, 0x10 | (4 << 1) | 1    ; key on
        db 0xFF

        include "testend.inc"
