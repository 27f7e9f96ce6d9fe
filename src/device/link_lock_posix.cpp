#include "device/link_lock.h"

void CLinkLock::lock() {
    m_mutex.lock();
}

void CLinkLock::unlock() {
    m_mutex.unlock();
}

void CLinkLock::WaitUntil(std::chrono::steady_clock::time_point until) {
    std::unique_lock<std::mutex> lock(m_mutex, std::adopt_lock);
    m_cv.wait_until(lock, until);
    lock.release();  // still held, by the caller
}

void CLinkLock::NotifyOne() {
    m_cv.notify_one();
}
