// The link thread of a record, run for a test or a benchmark and stopped in
// order: stop request, then wait for the thread to return.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "device/device_link.h"

class LinkRunner {
  public:
    explicit LinkRunner(CDeviceLink& link) : m_link(link) {
        m_thread = std::thread([this] {
            LinkThreadProc(&m_link);
            m_finished = true;
        });
    }
    ~LinkRunner() { Stop(); }
    LinkRunner(const LinkRunner&) = delete;
    LinkRunner& operator=(const LinkRunner&) = delete;

    // True when the thread ended within the timeout with m_bRunning clear. It
    // is waited for in any case: the thread must not outlive the record. The
    // request is repeated because the thread clears it once as it starts.
    bool Stop(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        if (!m_thread.joinable()) {
            return true;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        bool bInTime = true;
        while (!m_finished) {
            m_link.m_bStopRequest = 1;
            if (std::chrono::steady_clock::now() > deadline) {
                bInTime = false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_thread.join();
        return bInTime && !m_link.m_bRunning;
    }

    std::thread::native_handle_type NativeHandle() { return m_thread.native_handle(); }

  private:
    CDeviceLink& m_link;
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

// Polls pred every millisecond until it holds (true) or the timeout passes (false).
template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
