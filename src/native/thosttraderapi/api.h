/* The trading API library the trader library sits on. The stand-in carries
 * only its version, which the trader library reports when it logs in. */
#ifndef PELMORA_THOST_API_H
#define PELMORA_THOST_API_H

#if defined(_WIN32)
#  define THOST_API __declspec(dllexport)
#else
#  define THOST_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

THOST_API const char* ThostApiVersion(void);

#ifdef __cplusplus
}
#endif

#endif
