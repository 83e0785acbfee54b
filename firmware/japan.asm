; Velmar boot firmware, Japanese image: a cartridge starts at once; without one the
; Velmar title screen says that no cartridge is inserted.
SPLASH_FRAMES:  equ 0
        include "boot.inc"
