/* Helpers shared by the public headers: exported-symbol marking and layout checks.
 * Every header here compiles as C11 and as C++. */
#ifndef GRSHM_COMMON_H
#define GRSHM_COMMON_H

#include <stddef.h>

#ifdef __cplusplus
#define GRSHM_EXTERN_C_BEGIN extern "C" {
#define GRSHM_EXTERN_C_END }
#define GRSHM_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#define GRSHM_ALIGNOF(type) alignof(type)
#else
#define GRSHM_EXTERN_C_BEGIN
#define GRSHM_EXTERN_C_END
#define GRSHM_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#define GRSHM_ALIGNOF(type) _Alignof(type)
#endif

/* The library is built with hidden visibility; only what is marked here is exported. */
#define GRSHM_API __attribute__((visibility("default")))

/* Layout checks: the byte formats are shared with processes built elsewhere. */
#define GRSHM_CHECK_SIZE(type, size) GRSHM_STATIC_ASSERT(sizeof(type) == (size), #type " has the wrong size")
#define GRSHM_CHECK_OFFSET(type, field, offset) \
    GRSHM_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " is at the wrong offset")
#define GRSHM_CHECK_ALIGN(type, align) \
    GRSHM_STATIC_ASSERT(GRSHM_ALIGNOF(type) == (align), #type " has the wrong alignment")

#endif
