#include "server/engine/ChildSpawn.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <initializer_list>
#include <spawn.h>
#include <unistd.h>

pid_t spawnChild(const char* program, char* const argv[], int in, int out, int err, bool ownGroup,
                 bool searchPath, int* error)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    if (err >= 0)
        posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);
    pid_t pid = -1;
    *error = searchPath ? posix_spawnp(&pid, program, &actions, &attr, argv, environ)
                        : posix_spawn(&pid, program, &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return *error == 0 ? pid : -1;
}

void killChildren()
{
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        FILE* file = std::fopen(path, "re");
        if (!file)
            continue;
        char line[1024];
        const bool read = std::fgets(line, sizeof line, file) != nullptr;
        std::fclose(file);
        // "pid (name) state ppid pgrp ...": the name may hold anything, so
        // the fields are counted from its last ')'.
        const char* close = read ? std::strrchr(line, ')') : nullptr;
        char state = 0;
        long parent = 0;
        long group = 0;
        if (!close || std::sscanf(close + 1, " %c %ld %ld", &state, &parent, &group) != 3 ||
            parent != self || state == 'Z')
            continue;
        if (group == pid)
            ::kill(static_cast<pid_t>(-pid), SIGKILL);
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    ::closedir(proc);
}
