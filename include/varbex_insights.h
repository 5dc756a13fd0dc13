/*
 * varbex insights: explains a varbex response. Given a request and the response varbex_solve gave
 * for it, tells why each unplaced item found no place, how the items of each box stand (support,
 * load on top, overhang, centre of gravity) and sums it up, as one JSON document. The response is
 * only read; nothing is solved again. See docs/insights.md for every member.
 */
#ifndef VARBEX_INSIGHTS_H
#define VARBEX_INSIGHTS_H

#include <stddef.h>

#if defined(_WIN32)
#define VARBEX_INSIGHTS_API __declspec(dllexport)
#elif defined(__GNUC__)
#define VARBEX_INSIGHTS_API __attribute__((visibility("default")))
#else
#define VARBEX_INSIGHTS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Computes the insights of `response` for `request`, both NUL-terminated UTF-8 JSON texts, read
 * only during the call; a null pointer counts as "{}".
 *
 * Returns a NUL-terminated JSON text that the caller owns and releases exactly once with
 * varbex_insights_free. A request or response that cannot be read (malformed JSON, a faulty
 * request, an error envelope, a response that does not answer the request) gives the error
 * envelope {"error":"<message>","success":false}, the message starting "request: " or
 * "response: ". Returns null only when the final block cannot be allocated.
 *
 * Thread safety: any number of threads may call it at the same time.
 */
VARBEX_INSIGHTS_API char* varbex_insights(const char* request, const char* response);

/* Releases a document returned by varbex_insights. A null pointer does nothing. */
VARBEX_INSIGHTS_API void varbex_insights_free(char* document);

#ifdef __cplusplus
}
#endif

#endif /* VARBEX_INSIGHTS_H */
