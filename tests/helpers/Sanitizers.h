#pragma once

// Which sanitizer the tests are built under, as 0 or 1, for GCC and Clang alike: GCC announces
// them with its own macros, Clang only through __has_feature.
#if defined (__has_feature)
 #define TARVOLEN_HAS_FEATURE(feature) __has_feature (feature)
#else
 #define TARVOLEN_HAS_FEATURE(feature) 0
#endif

#if defined (__SANITIZE_ADDRESS__) || TARVOLEN_HAS_FEATURE (address_sanitizer)
 #define TARVOLEN_ADDRESS_SANITIZER 1
#else
 #define TARVOLEN_ADDRESS_SANITIZER 0
#endif

#if defined (__SANITIZE_THREAD__) || TARVOLEN_HAS_FEATURE (thread_sanitizer)
 #define TARVOLEN_THREAD_SANITIZER 1
#else
 #define TARVOLEN_THREAD_SANITIZER 0
#endif
