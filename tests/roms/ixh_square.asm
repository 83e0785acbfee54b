; A square wave timed by the CPU alone, as a sample player makes one: tone 0 at a period
; below 6 plays a constant level, and the loop switches its attenuation between 0 (loud)
; and 15 (silent). The delay between the writes is built from the undocumented IXH, IXL,
; IYH and IYL instructions. Interrupts stay off. Each period adds one to the 16-bit count
; at PERIODS (0xC013).
;
; T-states: one half is 29 + 42 x HALF_LOOPS (the call excluded); a whole period is
; 106 + 2 x that = 164 + 84 x HALF_LOOPS = 8,144, about 440 Hz.
        include "testrom.inc"

PERIODS:        equ 0xC013
HALF_LOOPS:     equ 95
PSG_TONE0_LOW:  equ 0x80        ; latch tone 0 period, low 4 bits
PSG_TONE0_LOUD: equ 0x90        ; tone 0 attenuation 0
PSG_TONE0_OFF:  equ 0x9F        ; tone 0 attenuation 15

main:
        ld a, PSG_TONE0_LOW | 1
        out (PORT_PSG), a
        xor a                   ; period 1: a constant level
        out (PORT_PSG), a
        ld de, 0
        ld iy, 0
        ld a, READY_MAGIC
        ld (SCENE_READY), a
period:
        ld a, PSG_TONE0_LOUD    ;  7
        out (PORT_PSG), a       ; 11
        call half               ; 17
        ld a, PSG_TONE0_OFF     ;  7
        out (PORT_PSG), a       ; 11
        inc de                  ;  6
        ld (PERIODS), de        ; 20
        call half               ; 17
        jp period               ; 10

; The index-half instructions are written as bytes.
half:
        db 0xDD, 0x2E, HALF_LOOPS ; ld ixl, n     11
.wait:  db 0xDD, 0x7D           ; ld a, ixl        8
        db 0xFD, 0x84           ; add a, iyh       8
        db 0xFD, 0x6F           ; ld iyl, a        8
        db 0xDD, 0x2D           ; dec ixl          8
        jp nz, .wait            ;                 10
        db 0xDD, 0x24           ; inc ixh          8
        ret                     ;                 10

        include "testend.inc"
