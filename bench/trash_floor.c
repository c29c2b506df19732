// The least any freedesktop.org Trash implementation has to do to trash every visible entry of
// one folder: list it, and per entry create the .trashinfo with O_EXCL, write it, close it and
// rename the entry into files/ without replacing anything; at the end flush the two trash
// folders once. No stat, no clash handling beyond a counter, no error text. The benchmark
// compares the real engine against this.
//
// Usage: trash_floor SOURCE_FOLDER TRASH_FOLDER   (both absolute; the trash is created if missing)
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

int main(int argc, char **argv)
{
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
    for (struct dirent *entry; (entry = readdir(dir));) {
        if (entry->d_name[0] == '.')
            continue;
        char name[512];
        char infoName[512 + sizeof ".trashinfo"];
        int fd = -1;
        for (long suffix = 1; fd < 0 && suffix < 1000000; ++suffix) {
            if (suffix == 1)
                snprintf(name, sizeof name, "%s", entry->d_name);
            else
                snprintf(name, sizeof name, "%s.%ld", entry->d_name, suffix);
            snprintf(infoName, sizeof infoName, "%s.trashinfo", name);
            fd = openat(infoFd, infoName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        if (fd < 0) {
            ++failed;
            continue;
        }
        snprintf(path, sizeof path, "%s/%s", source, entry->d_name);
        size_t n = (size_t)sprintf(text, "[Trash Info]\nPath=");
        n += percentEncode(path, text + n);
        n += (size_t)sprintf(text + n, "\nDeletionDate=%s\n", date);
        const int ok = write(fd, text, n) == (ssize_t)n;
        if (close(fd) != 0 || !ok ||
            renameat2(sourceFd, entry->d_name, filesFd, name, RENAME_NOREPLACE) != 0) {
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
