/* The floor of a pass with nothing changed: the least a program must do to learn that
 * two trees match is to list every folder of both and lstat() every entry. No
 * comparison, no output beyond the count, so the time is the file system's alone.
 *
 *   lstat_floor TREE...     prints the number of entries looked at
 */
#define _DEFAULT_SOURCE
#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static unsigned long entries;

static int walk(char* path, size_t length, size_t capacity)
{
    DIR* dir = opendir(path);
    if (dir == NULL) {
        fprintf(stderr, "lstat_floor: %s: %s\n", path, strerror(errno));
        return 1;
    }
    int failed = 0;
    struct dirent* entry;
    while ((entry = readdir(dir)) != NULL) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        const size_t nameLength = strlen(name);
        if (length + 1 + nameLength + 1 > capacity) {
            fprintf(stderr, "lstat_floor: path too long below %s\n", path);
            failed = 1;
            continue;
        }
        path[length] = '/';
        memcpy(path + length + 1, name, nameLength + 1);
        struct stat status;
        if (lstat(path, &status) != 0) {
            fprintf(stderr, "lstat_floor: %s: %s\n", path, strerror(errno));
            failed = 1;
        } else {
            ++entries;
            if (S_ISDIR(status.st_mode))
                failed |= walk(path, length + 1 + nameLength, capacity);
        }
        path[length] = '\0';
    }
    closedir(dir);
    return failed;
}

int main(int argc, char** argv)
{
    enum { kCapacity = 8192 };
    static char path[kCapacity];
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const size_t length = strlen(argv[i]);
        if (length + 1 > kCapacity)
            return 2;
        memcpy(path, argv[i], length + 1);
        failed |= walk(path, length, kCapacity);
    }
    printf("%lu\n", entries);
    return failed;
}
