; Coarse and fine scrolling in both directions.
; Scene (see scroll_scene.inc): tile 1 + ((c + 3r) mod 14) at name-table row r, column c,
; each tile solid with a marker pixel of index 15 at its top-left corner.
; R8 = 0x1B (coarse 3, fine 3), R9 = 0x2D (coarse 5, fine 5), no scroll locks.
; A test should see, for screen pixel (x, y): xs = (x - 3) mod 256, name column
; (xs / 8 - 3) mod 32, pixel column xs mod 8; row = y + 5, name row (5 + row / 8) mod 28,
; pixel row row mod 8.
SCENE_R0:       equ 0x06
SCENE_R8:       equ 0x1B
SCENE_R9:       equ 0x2D
        include "scroll_scene.inc"
