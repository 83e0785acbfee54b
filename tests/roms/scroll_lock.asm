; Scroll locks: the scroll scene of scroll.asm with R0 bit 6 (lines 0-15 not scrolled
; horizontally) and R0 bit 7 (screen columns 24-31 not scrolled vertically) set.
; R8 = 0x1B, R9 = 0x2D as in scroll.asm.
; A test should see lines 0-15 with no horizontal scroll and, in screen columns 24-31
; (counted after the horizontal scroll: column = ((x - fine) mod 256) / 8), name row y / 8
; and pixel row y mod 8.
SCENE_R0:       equ 0xC6
SCENE_R8:       equ 0x1B
SCENE_R9:       equ 0x2D
        include "scroll_scene.inc"
