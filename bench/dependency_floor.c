/* The dependency floor: what any program of ours pays before it does its own work. Built and
 * hardened like the programs, it loads json-c and libgrshm, parses the request, attaches the
 * segments and prints a reply of a given size. A program's cost above this is its own. */
#include <json-c/json.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sharememory.h"

/* The size comes from the command line, or from the query string when a web server runs it. */
int main(int argc, char **argv) {
    static char reply[1 << 20];
    const char *query = getenv("QUERY_STRING");
    json_object *request = json_tokener_parse(query != NULL ? query : "{}");
    InitShareMemory();
    size_t size = argc > 1 ? strtoul(argv[1], NULL, 10) : query != NULL ? strtoul(query, NULL, 10) : 0;
    if (size >= sizeof reply) size = sizeof reply - 1;
    memset(reply, 'x', size);
    reply[size] = '\0';
    puts("Content-type: application/text;charset=utf-8\n");
    fputs(reply, stdout);
    json_object_put(request);
    return 0;
}
