#pragma once

#include <pthread.h>

// A mutex whose holder runs at the priority of the highest thread waiting for it. The
// real-time thread that renders the sound shares a lock with the interface thread; with a
// plain mutex, a busy machine that preempts the interface thread while it holds the lock
// keeps the renderer waiting too, and the sound runs dry.
class PriorityInheritingMutex {
public:
    PriorityInheritingMutex() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
        pthread_mutex_init(&mutex_, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~PriorityInheritingMutex() { pthread_mutex_destroy(&mutex_); }
    PriorityInheritingMutex(const PriorityInheritingMutex&) = delete;
    PriorityInheritingMutex& operator=(const PriorityInheritingMutex&) = delete;

    void lock() { pthread_mutex_lock(&mutex_); }
    void unlock() { pthread_mutex_unlock(&mutex_); }

private:
    pthread_mutex_t mutex_;
};
