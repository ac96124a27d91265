// Single-instance guard: an exclusive flock on a file in the user's runtime folder. Main thread.
#pragma once

namespace tamovox {

enum class InstanceLockResult { Acquired, AlreadyRunning, Failed };

// Takes the lock named name ("Tamo-Vox"); held until releaseInstanceLock or process exit.
InstanceLockResult acquireInstanceLock(const char* name);
void releaseInstanceLock();

}  // namespace tamovox
