#pragma once
// Everything in the library is hidden (-fvisibility=hidden); a function reaches the host only when it is
// declared with QZ_EXPORT: C linkage, so the host finds it by its plain name, and default visibility.

#define QZ_EXPORT extern "C" __attribute__((visibility("default")))
