; Left column blank (R0 bit 5) with a fine horizontal scroll and a sprite under the blank.
; R0 = 0x26, R7 = 3 (backdrop = sprite colour 3, 0x33), R8 = 3 (fine scroll 3).
; Tiles: 1 solid index 1, 2 solid index 2, 3 solid index 4. Name table: tile 1 in even
; columns, tile 3 in odd columns. Sprite: Y 49, X 4, tile 2 (lines 50-57, x 4-11).
; A test should see the backdrop colour at x 0-7 on every line; elsewhere background index
; 1 where ((x - 3) / 8) is even and index 4 where it is odd, except the sprite's
; colour 2 at x 8-11 on lines 50-57.
        include "testrom.inc"

main:
        include "backdrop_scene.inc"

        include "testend.inc"
