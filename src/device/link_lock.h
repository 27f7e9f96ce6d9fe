// The link record's one lock, with the link thread's wake-up on it.
//
// On Windows it is the system's slim lock and condition variable: a wake-up
// goes from the waking thread straight to the waiting one, and a timed wait
// needs nobody else. Under Wine these are the kernel's futexes, where the
// standard library's (winpthreads) goes through a semaphore that costs a round
// trip to Wine's server at every wait and every wake. Elsewhere it is the
// standard library's mutex and condition variable.
#pragma once

#include <chrono>
#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#endif

class CLinkLock {
  public:
    CLinkLock() = default;
    CLinkLock(const CLinkLock&) = delete;
    CLinkLock& operator=(const CLinkLock&) = delete;

    // For std::lock_guard and std::unique_lock.
    void lock();
    void unlock();

    // With the lock held: releases it until NotifyOne, the deadline on the
    // steady clock, or a spurious wake-up, and holds it again on return.
    void WaitUntil(std::chrono::steady_clock::time_point until);
    // Wakes the thread waiting in WaitUntil, if any.
    void NotifyOne();

  private:
#ifdef _WIN32
    void* m_srw = nullptr;  // an SRWLOCK, initialised (all zero)
    void* m_cv = nullptr;   // a CONDITION_VARIABLE, initialised (all zero)
#else
    std::mutex m_mutex;
    std::condition_variable m_cv;
#endif
};
