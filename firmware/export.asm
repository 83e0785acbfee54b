; Boot firmware (placeholder until the real one lands): set up the CPU and wait.
        org 0
        di
        im 1
        ld sp, 0xdff0
idle:   jr idle
