#pragma once

#include <sys/types.h>

// Starts a child reading from `in` and writing to `out`, and its errors to
// `err` (ours when -1). It gets nothing else of ours: every other
// descriptor is closed, and signals are back to their defaults and
// unblocked. With `ownGroup` it has a process group of its own; with
// `searchPath` the program is looked up on PATH. Returns the child's pid,
// or -1 with the reason in `*error`.
pid_t spawnChild(const char* program, char* const argv[], int in, int out, int err, bool ownGroup,
                 bool searchPath, int* error);

// Kills every child of this process still running, each with its process
// group where it leads one (so that a script's children go too): for a
// service that ends while work is under way. Read from /proc.
void killChildren();
