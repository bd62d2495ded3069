#pragma once

// Which sanitizer the tests are built under, as 0 or 1, for GCC and Clang alike: GCC announces
// them with its own macros, Clang only through __has_feature.
#if defined (__SANITIZE_ADDRESS__)
 #define TARVOLEN_ADDRESS_SANITIZER 1
#elif defined (__has_feature)
 #if __has_feature (address_sanitizer)
  #define TARVOLEN_ADDRESS_SANITIZER 1
 #endif
#endif

#if defined (__SANITIZE_THREAD__)
 #define TARVOLEN_THREAD_SANITIZER 1
#elif defined (__has_feature)
 #if __has_feature (thread_sanitizer)
  #define TARVOLEN_THREAD_SANITIZER 1
 #endif
#endif

#ifndef TARVOLEN_ADDRESS_SANITIZER
 #define TARVOLEN_ADDRESS_SANITIZER 0
#endif

#ifndef TARVOLEN_THREAD_SANITIZER
 #define TARVOLEN_THREAD_SANITIZER 0
#endif
