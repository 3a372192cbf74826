#pragma once

// Marks a small function that a hot loop calls for every pixel (appending an entry): inlined
// even where the compiler's size limits would make it a call, which halves the builder's speed.
#if defined(__GNUC__)
#define QUENZIL_FORCE_INLINE [[gnu::always_inline]] inline
#elif defined(_MSC_VER)
#define QUENZIL_FORCE_INLINE __forceinline
#else
#define QUENZIL_FORCE_INLINE inline
#endif
