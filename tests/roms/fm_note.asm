; An FM note: the FM unit is detected, then channel 0 plays the user instrument (a pure
; sine: modulator at full attenuation, carrier multiplier 1, instant attack, sustained) at
; F-number 290 (0x122), block 5, volume 0. The PSG is silent; the display stays off.
; Detection: 0xAF is written to port 0x3E (cartridge still mapped, bit 2 set so that port
; 0xF2 reads the FM unit), 0x01 to port 0xF2, and the value read back from 0xF2 is stored at
; FM_DETECT (0xC012): 0x01 with the FM unit switched on, 0x00 with it off. Then 0xAB is
; written back to port 0x3E.
; A test with FM on should hear a pure tone. This FM engine keeps an 18-bit phase per
; sine period, so the note sounds at F x (3579545 / 72) x 2^(block - 1) / 2^18 = 880 Hz,
; an octave above the chip's datasheet formula (which divides by 2^19).
        include "testrom.inc"

FM_FNUM:        equ 0x122
FM_BLOCK:       equ 5
FM_KEY_ON:      equ 0x10

main:
        ld a, 0x9F              ; PSG silent
        out (PORT_PSG), a
        ld a, 0xBF
        out (PORT_PSG), a
        ld a, 0xDF
        out (PORT_PSG), a
        ld a, 0xFF
        out (PORT_PSG), a

        ld a, 0xAF
        out (PORT_MEMCTL), a
        ld a, 0x01
        out (PORT_FM_CTRL), a
        in a, (PORT_FM_CTRL)
        ld (FM_DETECT), a
        ld a, 0xAB
        out (PORT_MEMCTL), a

        ld hl, fm_writes
.fm:    ld a, (hl)
        cp 0xFF
        jr z, .done
        out (PORT_FM_ADDR), a
        inc hl
        call fm_wait
        ld a, (hl)
        out (PORT_FM_DATA), a
        inc hl
        call fm_wait
        jr .fm
.done:  ld a, R1_BASE
        jp show_and_idle

; The chip wants a pause between writes.
fm_wait:
        push bc
        ld b, 8
.w:     djnz .w
        pop bc
        ret

fm_writes:                      ; register, value
        db 0x00, 0x21           ; modulator: sustained envelope, multiplier 1
        db 0x01, 0x21           ; carrier: sustained envelope, multiplier 1
        db 0x02, 0x3F           ; modulator total level 63 (silent)
        db 0x03, 0x00           ; sine waves, no feedback
        db 0x04, 0xF0           ; modulator attack 15, decay 0
        db 0x05, 0xF0           ; carrier attack 15, decay 0
        db 0x06, 0x0F           ; modulator sustain level 0, release 15
        db 0x07, 0x0F           ; carrier sustain level 0, release 15
        db 0x0E, 0x00           ; melodic mode
        db 0x30, 0x00           ; channel 0: user instrument, volume 0 (loudest)
        db 0x10, FM_FNUM & 0xFF
        db 0x20, FM_KEY_ON | (FM_BLOCK << 1) | (FM_FNUM >> 8)
        db 0xFF

        include "testend.inc"
