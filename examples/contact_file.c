/* A first program against the installed library: creates an empty contact
 * file, opens it and prints what its header says.
 *
 *   contact_file [PATH]     (default EXAMPLE.dbs in the current folder)
 *
 * Built by the test command against an installed tree both ways:
 *   cmake -S examples -B build/example -DCMAKE_PREFIX_PATH=PREFIX
 *   cc examples/contact_file.c $(pkg-config --cflags --libs osprey32)
 */
#include <stdio.h>

#include "osprey32.h"

int main(int argc, char **argv) {
  const char *path = argc > 1 ? argv[1] : "EXAMPLE.dbs";
  DbfHandle h;
  char data[57];
  int32_t status;

  OspSetHooks(NULL); /* messages go to standard error */
  printf("library version 0x%08X\n", (unsigned)GetOspdllVersion());
  status = dbf_create(path);
  if (status != OSP_OK) {
    fprintf(stderr, "cannot create %s: status %d\n", path, (int)status);
    return 1;
  }
  status = dbf_open(path, &h);
  if (status != OSP_OK) {
    fprintf(stderr, "cannot open %s: status %d\n", path, (int)status);
    return 1;
  }
  status = dbf_read(&h, 1, data);
  printf("%s: record size %d, %d contacts%s\n", path, (int)dbf_rsize(&h), (int)dbf_rcount(&h),
         status == OSP_RECNO_ABOVE_COUNT ? " (record 1 is past the end)" : "");
  dbf_close(&h); /* writes the header back */
  return status == OSP_RECNO_ABOVE_COUNT ? 0 : 1;
}
