/*
 * varbex: three-dimensional bin packing ("cartonization") behind a two-function C interface.
 *
 * A caller hands one JSON request (items and box types) to varbex_solve and receives one JSON
 * response (filled boxes with every item's position and orientation, fill metrics, the items
 * that found no place, and a summary), or an error envelope {"error": "...", "success": false}.
 */
#ifndef VARBEX_H
#define VARBEX_H

#include <stddef.h>

#if defined(_WIN32)
#define VARBEX_API __declspec(dllexport)
#elif defined(__GNUC__)
#define VARBEX_API __attribute__((visibility("default")))
#else
#define VARBEX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Solves one packing request.
 *
 * request: NUL-terminated UTF-8 JSON text. It is read only during the call; no pointer to it is
 *          kept. A null pointer is treated as the empty request "{}".
 *
 * Returns a NUL-terminated JSON text in a block that the caller owns from then on and must release
 * exactly once with varbex_free (never with its own free: the block belongs to the library's C
 * heap). Every failure, whether malformed JSON, a faulty request or exhausted memory, is answered
 * with the error envelope {"error":"<message>","success":false}; no exception or signal escapes.
 * Returns null only when the final block cannot be allocated; there is then nothing to release.
 *
 * Thread safety: any number of threads may call varbex_solve at the same time, each with its own
 * request. Each thread keeps private memos that later calls on the same thread reuse, all released
 * when the thread ends: the lookahead results (at most 262,144 entries), what the lookahead's quick
 * trial fills placed (at most 4,096), the layer filler's spare work lists, and three counters of
 * weight balancing's deadlines, cuts and returns for the library's own checks. None of them changes
 * an answer.
 */
VARBEX_API char* varbex_solve(const char* request);

/*
 * Releases a response returned by varbex_solve. A null pointer does nothing. May be called from
 * any thread.
 */
VARBEX_API void varbex_free(char* response);

#ifdef __cplusplus
}
#endif

#endif /* VARBEX_H */
