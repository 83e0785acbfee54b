; A light-gun shooting screen with the Light Phaser on port A, as such games read it. Each
; time the trigger (TL, port 0xDC bit 4) is pulled, the next frame flashes white with the
; mark hidden; through that frame the program polls TH (port 0xDD bit 6), and on the first
; line the sensor sees the beam it reads the V counter and the latched H counter, on later
; ones only the V counter. The mark, sprite 0, a solid 8 x 8 block of sprite colour 1, is then
; centred on x = 2 x H and y = the middle of the first and last lines seen, and the screen is
; black again. RAM: SHOTS (0xC040) counts the shots that hit, MISSES (0xC041) the flashes
; the sensor did not see; MARK_X (0xC042) and MARK_Y (0xC043) hold the last point.
        include "testrom.inc"

SHOTS:          equ 0xC040
MISSES:         equ 0xC041
MARK_X:         equ 0xC042
MARK_Y:         equ 0xC043
FIRST_LINE:     equ 0xC044
LAST_LINE:      equ 0xC045
LATCHED_H:      equ 0xC046
SEEN:           equ 0xC047
PORT_PAD_A:     equ 0xDC
PORT_PAD_B:     equ 0xDD
PORT_HCOUNTER:  equ 0x7F
TRIGGER_A:      equ 0x10
TH_A:           equ 0x40
WHITE:          equ 0x3F
FIRST_BLANK:    equ 0xC1            ; the V counter on line 193
LINES_SHOWN:    equ 0xC0

main:
        ld b, 1
        ld c, 1
        call solid_tiles        ; tile 1: solid sprite colour 1
        call hide_mark
        ld a, R1_BASE | R1_DISPLAY
        ld b, 1
        call vdp_set_reg
        ld a, READY_MAGIC
        ld (SCENE_READY), a
.wait:  call wait_blank
        in a, (PORT_PAD_A)
        and TRIGGER_A
        jr nz, .wait
        call hide_mark
        ld e, 0
        ld a, WHITE
        call set_colour         ; the next frame is white
.top:   in a, (PORT_VCOUNTER)
        or a
        jr nz, .top
        call watch_frame
        ld e, 0
        xor a
        call set_colour         ; black again
        ld a, (SEEN)
        or a
        jr z, .miss
        call show_mark
        ld hl, SHOTS
        inc (hl)
        jr .release
.miss:  ld hl, MISSES
        inc (hl)
.release:
        call wait_blank
        in a, (PORT_PAD_A)
        and TRIGGER_A
        jr z, .release
        jr .wait

; Waits for the first line of the vertical blank.
wait_blank:
        in a, (PORT_VCOUNTER)
        cp FIRST_BLANK
        jr nz, wait_blank
        ret

; Polls TH until the picture's last line.
watch_frame:
        xor a
        ld (SEEN), a
.poll:  in a, (PORT_PAD_B)
        and TH_A
        jr z, .lit
        in a, (PORT_VCOUNTER)
        cp LINES_SHOWN
        jr c, .poll
        ret
.lit:   in a, (PORT_VCOUNTER)
        ld (LAST_LINE), a
        ld b, a
        ld a, (SEEN)
        or a
        jr nz, .poll
        inc a
        ld (SEEN), a
        ld a, b
        ld (FIRST_LINE), a
        in a, (PORT_HCOUNTER)
        ld (LATCHED_H), a
        jr .poll

; Sprite 0 centred on the point seen: X = 2H - 4, Y = (first + last) / 2 - 5 (a sprite's
; first line is Y + 1).
show_mark:
        ld a, (LATCHED_H)
        add a, a
        ld (MARK_X), a
        ld a, (FIRST_LINE)
        ld b, a
        ld a, (LAST_LINE)
        add a, b
        rra
        ld (MARK_Y), a
        ld hl, VRAM_SAT
        call vdp_write_addr
        ld a, (MARK_Y)
        sub 5
        out (PORT_VDP_DATA), a
        ld a, SPRITE_END
        out (PORT_VDP_DATA), a
        ld hl, VRAM_SAT + 128
        call vdp_write_addr
        ld a, (MARK_X)
        sub 4
        out (PORT_VDP_DATA), a
        ld a, 1
        out (PORT_VDP_DATA), a
        ret

hide_mark:
        ld hl, VRAM_SAT
        call vdp_write_addr
        ld a, SPRITE_END
        out (PORT_VDP_DATA), a
        ret

        include "testend.inc"
