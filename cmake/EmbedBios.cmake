# cmake -DJAPAN=... -DEXPORT=... -DOUT=... -P EmbedBios.cmake
# Writes the 16 KB BIOS store as a C++ array: the Japanese image at offset 0, the
# American / Brazilian image at offset 8192, each padded with 0xFF to 8 KB.
function(image_hex file out_var)
    file(SIZE ${file} size)
    if(size GREATER 8192)
        message(FATAL_ERROR "${file} is ${size} bytes; a firmware image holds at most 8192")
    endif()
    file(READ ${file} hex HEX)
    math(EXPR pad "8192 - ${size}")
    if(pad GREATER 0)
        string(REPEAT "ff" ${pad} fill)
        string(APPEND hex ${fill})
    endif()
    set(${out_var} ${hex} PARENT_SCOPE)
endfunction()

image_hex(${JAPAN} japan)
image_hex(${EXPORT} export)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${japan}${export}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT}.tmp "// Generated from firmware/*.asm; do not edit.\n#include \"firmware/BiosStore.h\"\n\nnamespace velmar {\nconst std::array<std::uint8_t, kBiosStoreSize> kBiosStore = {\n${bytes}};\n} // namespace velmar\n")
file(RENAME ${OUT}.tmp ${OUT})
