// The front end's process-wide state besides ArchiverApi: created at start-up
// or at the first command assembly, released by ShutDown.
#pragma once

#include "platform/platform.h"

// A movable memory block kept locked while it exists; text is its locked
// address, valid until the block is unlocked for a resize or freed.
struct LockedBlock {
  MovableMemory* handle;
  char* text;
};

// The private heap that report buffers are taken from.
extern PrivateHeap* WorkHeap;
// The latest assembled library command line.
extern LockedBlock CommandBuffer;
// The value of the LHA variable as read at the latest assembly.
extern LockedBlock LhaOptions;
