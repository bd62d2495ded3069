# Flags every target shares, so the plug-in, the tests and the benchmarks compute the same bits.
add_library(tarvolen_build_flags INTERFACE)

# No contraction into fused multiply-adds: results must not depend on compiler or CPU.
target_compile_options(tarvolen_build_flags INTERFACE
    $<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-ffp-contract=off>)

set(TARVOLEN_SANITIZER "" CACHE STRING "Sanitizer to build with: address, thread or empty")

if(TARVOLEN_SANITIZER STREQUAL "address")
    # Undefined behaviour aborts like an address error, so a report fails its test however the
    # binary is run, instead of printing a line that nobody sees and carrying on. GCC leaves
    # float-to-integer casts of NaN or out-of-range values out of "undefined"; Clang has them in.
    set(sanitizerFlags -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow)
    target_compile_options(tarvolen_build_flags INTERFACE ${sanitizerFlags} -fno-omit-frame-pointer)
    target_link_options(tarvolen_build_flags INTERFACE ${sanitizerFlags})
elseif(TARVOLEN_SANITIZER STREQUAL "thread")
    target_compile_options(tarvolen_build_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(tarvolen_build_flags INTERFACE -fsanitize=thread)
elseif(NOT TARVOLEN_SANITIZER STREQUAL "")
    message(FATAL_ERROR "Unknown TARVOLEN_SANITIZER '${TARVOLEN_SANITIZER}'")
endif()
