/*
 * tolvane: the log sink of zuk.
 *
 * libzuk.so reports what it does as pieces of text through LogString. A
 * message is often several pieces in a row ("RAA: Failed hr= ", "-2147467259",
 * "\n"), so a sink must keep pieces in the order received and add nothing
 * between them. With no sink set, pieces are dropped.
 */
#ifndef TOLVANE_H
#define TOLVANE_H

#if defined(TOLVANE_BUILDING)
#define TOLVANE_API __attribute__((visibility("default")))
#else
#define TOLVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Receives one piece of log text. `piece` is NUL-terminated and valid only
 * during the call; `user` is the pointer given to tolvane_set_sink.
 * Called on whatever thread logs, one call at a time (calls are serialised
 * under the sink's lock).
 */
typedef void (*tolvane_sink)(void* user, const char* piece);

/*
 * Passes one piece of text to the sink, or drops it when no sink is set.
 * A null `text` is ignored. Any thread may call it.
 */
TOLVANE_API void LogString(const char* text);

/*
 * Sets the sink and its user pointer; a null `sink` removes it. Any thread may
 * call it. When it returns, the previous sink is no longer running and will
 * not be called again, so its user data may be freed.
 */
TOLVANE_API void tolvane_set_sink(tolvane_sink sink, void* user);

#ifdef __cplusplus
}
#endif

#endif
