/* A host of the installed library: extracts the sound of INPUT into OUTPUT
 * through the C interface and says which version did it. */
#include <zuk/zuk.h>

#include <stdio.h>
#include <string.h>

/* Widens ASCII text into a path the library takes. */
static int widen(const char* text, zuk_char* wide, size_t capacity)
{
    const size_t length = strlen(text);
    if (length >= capacity)
        return 0;
    for (size_t i = 0; i <= length; ++i)
        wide[i] = (zuk_char)(unsigned char)text[i];
    return 1;
}

int main(int argc, char** argv)
{
    zuk_char input[4096];
    zuk_char output[4096];
    if (argc != 3 || !widen(argv[1], input, 4096) || !widen(argv[2], output, 4096)) {
        fprintf(stderr, "usage: consumer INPUT OUTPUT\n");
        return 2;
    }
    const int32_t result = Extract(input, output, NULL);
    printf("zuk %s: Extract gives %d\n", zuk_version(), (int)result);
    return result >= 0 ? 0 : 1;
}
