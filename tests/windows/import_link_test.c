/* A C caller that includes osprey32.h and links against the import library,
 * as an application written in C would: the header compiles as C with its
 * size assertions, and every call it declares reaches the DLL's plain name.
 * Prints "N passed, N failed"; exits non-zero on a failure. */
#include <stdio.h>
#include <string.h>

#include "osprey32.h"

static int passed = 0;
static int failed = 0;

static void expect(const char *what, long expected, long actual) {
  if (expected == actual) {
    ++passed;
    printf("ok   %s\n", what);
  } else {
    ++failed;
    printf("FAIL %s: %ld, expected %ld\n", what, actual, expected);
  }
}

int main(void) {
  DbfHandle h;
  unsigned char records[6] = {'b', 'a', 'c', 'a', 'a', 'b'};
  memset(&h, 0, sizeof h);
  h.file = OSP_NO_FILE;

  expect("GetOspdllVersion", 0x00043400L, (long)GetOspdllVersion());
  expect("dbf_open of a missing file", OSP_CANNOT_OPEN,
         (long)dbf_open("no such directory\\NONE.DBS", &h));
  expect("dbf_close of a closed handle", -2L, (long)dbf_close(&h));
  _Qsorter(records, 3, 2);
  expect("_Qsorter", 0L, (long)memcmp(records, "abbaca", 6));
  expect("DbfHandle size", 22L, (long)sizeof(DbfHandle));
  expect("UserTextFile size", 424L, (long)sizeof(UserTextFile));
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
