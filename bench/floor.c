/* The floor: a process that only starts and prints a CGI reply of a given size. Nothing any
 * implementation of the programs does can take less. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The size comes from the command line, or from the query string when a web server runs it. */
int main(int argc, char **argv) {
    static char reply[1 << 20];
    const char *query = getenv("QUERY_STRING");
    size_t size = argc > 1 ? strtoul(argv[1], NULL, 10) : query != NULL ? strtoul(query, NULL, 10) : 0;
    if (size >= sizeof reply) size = sizeof reply - 1;
    memset(reply, 'x', size);
    reply[size] = '\0';
    puts("Content-type: application/text;charset=utf-8\n");
    printf("%s", reply);
    return 0;
}
