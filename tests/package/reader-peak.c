/* A host of the installed reader: reads the sound of INPUT as 16-bit mono and
 * prints its peak. */
#include <zuk/reader.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    zuk_reader* reader = NULL;
    char reason[256];
    if (argc != 2 || zuk_reader_open(argv[1], &reader, reason, sizeof reason) != ZUK_OK) {
        fprintf(stderr, "reader-peak: %s\n", argc == 2 ? reason : "usage: reader-peak INPUT");
        return 1;
    }
    int16_t block[4096];
    int peak = 0;
    int64_t read = 0;
    while ((read = zuk_reader_read_s16(reader, block, 4096, 1)) > 0)
        for (int64_t i = 0; i < read; ++i)
            peak = abs(block[i]) > peak ? abs(block[i]) : peak;
    if (read < 0)
        fprintf(stderr, "reader-peak: %s\n", zuk_reader_error(reader));
    zuk_reader_close(reader);
    printf("peak %d\n", peak);
    return read < 0 ? 1 : 0;
}
