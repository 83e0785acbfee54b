; Velmar boot firmware, American / Brazilian image: the Velmar title is shown for 1.5
; seconds before a cartridge starts; without one the title screen says that no cartridge
; is inserted.
SPLASH_FRAMES:  equ 90
        include "boot.inc"
