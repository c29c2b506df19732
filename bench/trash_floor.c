// The least any freedesktop.org Trash implementation has to do to trash every visible entry of
// one folder: list it, then per entry create the .trashinfo with O_EXCL, write it, close it and
// rename the entry into files/ without replacing anything; at the end flush the two trash
// folders once. No stat, no clash handling beyond a counter, no error text. The benchmark
// compares the real engine against this.
//
// Usage: trash_floor SOURCE_FOLDER TRASH_FOLDER   (both absolute; the trash is created if missing)
//        trash_floor --put-back TRASH_FOLDER
// The second form is the least a put back does: per entry of files/, read its info file's Path,
// rename the entry back there without replacing anything, and remove the info file.
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static int keptAsIs(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

static size_t percentEncode(const char *in, char *out)
{
    static const char hex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const unsigned char *p = (const unsigned char *)in; *p; ++p) {
        if (keptAsIs(*p)) {
            out[n++] = (char)*p;
        } else {
            out[n++] = '%';
            out[n++] = hex[*p >> 4];
            out[n++] = hex[*p & 15];
        }
    }
    return n;
}

static int openFolder(const char *path)
{
    mkdir(path, 0700);
    return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

static int byName(const void *a, const void *b)
{
    return strcmp(*(char *const *)a, *(char *const *)b);
}

// Every name of the folder but "." and "..", read before anything in it changes, in name order:
// the engine takes old screenshots oldest first, which for the benchmark's files is name order,
// and on ext4 making 10,000 names in name order costs the kernel much less than in the
// directory's hash order. Renaming entries out of a folder while reading it is slower too.
static char **readNames(DIR *dir, size_t *count)
{
    size_t size = 1024;
    char **names = malloc(size * sizeof *names);
    *count = 0;
    for (struct dirent *entry; names && (entry = readdir(dir));) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        if (*count == size)
            names = realloc(names, (size *= 2) * sizeof *names);
        if (names)
            names[(*count)++] = strdup(entry->d_name);
    }
    if (names)
        qsort(names, *count, sizeof *names, byName);
    return names;
}

static int hexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10;
}

static int putBack(const char *trash)
{
    char path[8192];
    snprintf(path, sizeof path, "%s/files", trash);
    const int filesFd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    snprintf(path, sizeof path, "%s/info", trash);
    const int infoFd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = opendir(path);
    if (filesFd < 0 || infoFd < 0 || !dir) {
        perror("trash_floor");
        return 1;
    }
    static char text[3 * 8192 + 128];
    long back = 0, failed = 0;
    size_t count = 0;
    char **names = readNames(dir, &count);
    for (size_t i = 0; names && i < count; ++i) {
        const char *infoName = names[i];
        const size_t length = strlen(infoName);
        if (infoName[0] == '.' || length <= 10)
            continue;
        const int fd = openat(infoFd, infoName, O_RDONLY | O_CLOEXEC);
        const ssize_t n = fd < 0 ? -1 : read(fd, text, sizeof text - 1);
        if (fd >= 0)
            close(fd);
        const char *at = n > 0 ? (text[n] = '\0', strstr(text, "\nPath=")) : NULL;
        if (!at) {
            ++failed;
            continue;
        }
        size_t out = 0;
        for (at += 6; *at && *at != '\n' && out < sizeof path - 1; ++out) {
            if (*at == '%' && at[1] && at[2]) {
                path[out] = (char)(hexDigit(at[1]) * 16 + hexDigit(at[2]));
                at += 3;
            } else {
                path[out] = *at++;
            }
        }
        path[out] = '\0';
        char name[512];
        snprintf(name, sizeof name, "%.*s", (int)(length - 10), infoName);
        if (renameat2(filesFd, name, AT_FDCWD, path, RENAME_NOREPLACE) != 0) {
            ++failed;
            continue;
        }
        unlinkat(infoFd, infoName, 0);
        ++back;
    }
    closedir(dir);
    printf("%ld put back, %ld failed\n", back, failed);
    return failed ? 1 : 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--put-back") == 0)
        return putBack(argv[2]);
    if (argc != 3) {
        fprintf(stderr, "usage: %s SOURCE_FOLDER TRASH_FOLDER\n", argv[0]);
        return 2;
    }
    const char *source = argv[1];
    char path[8192];
    mkdir(argv[2], 0700);
    snprintf(path, sizeof path, "%s/files", argv[2]);
    const int filesFd = openFolder(path);
    snprintf(path, sizeof path, "%s/info", argv[2]);
    const int infoFd = openFolder(path);
    DIR *dir = opendir(source);
    if (filesFd < 0 || infoFd < 0 || !dir) {
        perror("trash_floor");
        return 1;
    }
    const int sourceFd = dirfd(dir);

    char date[32];
    const time_t now = time(NULL);
    struct tm local;
    localtime_r(&now, &local);
    strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);

    static char text[3 * 8192 + 128];
    long moved = 0, failed = 0;
    size_t count = 0;
    char **names = readNames(dir, &count);
    for (size_t i = 0; names && i < count; ++i) {
        const char *entryName = names[i];
        if (entryName[0] == '.')
            continue;
        char name[512];
        char infoName[512 + sizeof ".trashinfo"];
        int fd = -1;
        for (long suffix = 1; fd < 0 && suffix < 1000000; ++suffix) {
            if (suffix == 1)
                snprintf(name, sizeof name, "%s", entryName);
            else
                snprintf(name, sizeof name, "%s.%ld", entryName, suffix);
            snprintf(infoName, sizeof infoName, "%s.trashinfo", name);
            fd = openat(infoFd, infoName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        if (fd < 0) {
            ++failed;
            continue;
        }
        snprintf(path, sizeof path, "%s/%s", source, entryName);
        size_t n = (size_t)sprintf(text, "[Trash Info]\nPath=");
        n += percentEncode(path, text + n);
        n += (size_t)sprintf(text + n, "\nDeletionDate=%s\n", date);
        const int ok = write(fd, text, n) == (ssize_t)n;
        if (close(fd) != 0 || !ok ||
            renameat2(sourceFd, entryName, filesFd, name, RENAME_NOREPLACE) != 0) {
            unlinkat(infoFd, infoName, 0);
            ++failed;
            continue;
        }
        ++moved;
    }
    closedir(dir);
    fsync(infoFd);
    fsync(filesFd);
    printf("%ld moved, %ld failed\n", moved, failed);
    return failed ? 1 : 0;
}
