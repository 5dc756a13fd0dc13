/* The public header compiled as C: both functions are callable from a C program. */
#include "varbex.h"

#include <stdio.h>
#include <string.h>

int main(void) {
  static const char kPrefix[] = "{\"boxes\":";
  char* response = varbex_solve(NULL);
  int ok;
  if (response == NULL) {
    fprintf(stderr, "varbex_solve(NULL) returned no response\n");
    return 1;
  }
  ok = strncmp(response, kPrefix, sizeof kPrefix - 1) == 0;
  if (!ok) fprintf(stderr, "unexpected response to a null request: %s\n", response);
  varbex_free(response);
  varbex_free(NULL);
  return ok ? 0 : 1;
}
