#pragma once

// Asks for the thread `threadId` (a kernel thread id of this process) to be scheduled in real
// time, as desktop audio clients do, so that rendering keeps up however busy the machine is:
// directly where the process may (root, or a real-time priority limit), else through rtkit
// on the system bus, which may take a moment. Goes on quietly where neither grants it;
// returns whether it was granted.
bool makeThreadRealtime(int threadId);

// The calling thread's kernel thread id.
int currentThreadId();
