// ReadReadmeText: byte by byte, as formatted input of single characters would read them.
#include "readme_text.h"

#include <stdio.h>

bool ReadReadmeText(const char* fileName, char* buffer, size_t capacity)
{
    if (capacity == 0)
        return false;
    FILE* file = fopen(fileName, "rb");
    if (!file)
        return false;
    size_t count = 0;
    int c;
    while (count + 1 < capacity && (c = getc(file)) != EOF)
        buffer[count++] = static_cast<char>(c);
    buffer[count] = '\0';
    fclose(file);
    return true;
}
