# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build; any report aborts the test.
if(CWT_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

# Fuzzing builds instrument everything for coverage and run under both sanitizers too.
if(CWT_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()
