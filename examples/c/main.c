/* A C program that packs one item with the installed varbex library. */
#include <stdio.h>
#include <varbex.h>

int main(void) {
  char* response = varbex_solve(
      "{\"items\":[{\"ItemCode\":\"A\",\"Width\":5,\"Length\":4,\"Depth\":2}],"
      "\"boxes\":[{\"Reference\":\"B1\",\"Width\":10,\"Length\":10,\"Depth\":10,\"MaxWeight\":50}]}");
  if (response == NULL) return 1;
  puts(response);
  varbex_free(response);
  return 0;
}
