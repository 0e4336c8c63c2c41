// Symbol visibility for the public API of libkorvix.
#ifndef KORVIX_EXPORT_H_
#define KORVIX_EXPORT_H_

#if defined(_WIN32)
#define KORVIX_EXPORT __declspec(dllexport)
#else
#define KORVIX_EXPORT __attribute__((visibility("default")))
#endif

#endif  // KORVIX_EXPORT_H_
