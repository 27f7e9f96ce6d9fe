// The single-instance guard: one running copy of the program per desktop.
//
// The first copy publishes its main window's handle in a 4-byte named block
// of shared memory ("CInstanceChecker_MMF_" + the unique name); a later copy
// finds the block, brings that window to the front and ends. The named
// start-up mutex (the unique name) makes "look for a running copy" and
// "register as the first copy" one step across processes: a copy holds it
// from TakeStartupLock until RegisterFirstCopy or ActivateOtherCopy.
//
// The window handle is stored as a 32-bit value: window handles are 32-bit
// significant on 64-bit Windows too, so it is truncated when written and
// sign-extended when read (HandleToLong / LongToHandle), never copied as a
// pointer-sized value into 4 bytes.
//
// When something else already uses a name:
// - the start-up mutex (another kind of object named like it): the guard runs
//   without the start-up lock. Copies started one after the other still find
//   the block; of two copies started at the same moment the block's creation
//   picks one, and RegisterFirstCopy returns FALSE in the other.
// - the block: IsAnotherCopyRunning finds no copy and RegisterFirstCopy
//   returns FALSE keeping the start-up lock until the guard is destroyed, so
//   a copy started meanwhile waits and then runs as the first copy.
// A later copy raises only a window that carries the mark the first copy put
// on it when publishing it, so a renamed copy of the program is raised too.
// Every wait on another copy is bounded (m_dwAnswerWaitMs): a first copy that
// hangs, or anything holding the start-up mutex, never blocks a later start.
// A later copy that raises nothing (no answer, no window) tells the user so
// and ends.
//
// All operations run on the user-interface thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/gdi_win.h"

class CInstanceChecker {
  public:
    explicit CInstanceChecker(const std::string& strName);
    virtual ~CInstanceChecker();
    CInstanceChecker(const CInstanceChecker&) = delete;
    CInstanceChecker& operator=(const CInstanceChecker&) = delete;

    // What a later start tells the user when the first copy cannot be raised.
    static const char* const kNoAnswerText;

    // Waits up to m_dwAnswerWaitMs until this copy holds the start-up lock;
    // FALSE when it is still held by another process then. A lock left
    // abandoned by a copy that died holding it counts as taken. TRUE at once
    // when this guard holds it already (or there is no start-up mutex).
    BOOL TakeStartupLock();
    // The start of a copy: true when this copy is the first one and is to
    // run (holding the start-up lock). False when another copy runs: it has
    // been raised, or the user has been told that it does not answer.
    bool MayRun();
    // Whether the block of a first copy exists.
    BOOL IsAnotherCopyRunning();
    // Raises the first copy's window: the window it had active last comes to
    // the front, the main window is restored if minimised and shown if
    // hidden. Returns that main window, or null when the block holds none, a
    // window that no longer exists or was not published by a copy, or one
    // that does not answer within m_dwAnswerWaitMs. Releases the start-up lock unless the
    // block could not be opened.
    HWND ActivateOtherCopy();
    // Creates the block, publishes GetWindowToPublish in it and releases the
    // start-up lock. FALSE, keeping the lock, when another copy has the block
    // or it cannot be created (or this process has registered already).
    BOOL RegisterFirstCopy();
    void ReleaseStartupLock();

    // The block's name: "CInstanceChecker_MMF_" followed by the unique name.
    virtual std::string GetMappingName() const;
    // The window a later copy raises: the calling thread's main window.
    virtual HWND GetWindowToPublish() const;

    // The longest wait for the start-up lock and for the first copy's answer.
    DWORD m_dwAnswerWaitMs = 10000;

  private:
    // Ownership of a mutex taken with WaitForSingleObject.
    class CSingleLock {
      public:
        explicit CSingleLock(HANDLE hMutex) : m_hMutex(hMutex) {}
        ~CSingleLock() { ::ReleaseMutex(m_hMutex); }
        CSingleLock(const CSingleLock&) = delete;
        CSingleLock& operator=(const CSingleLock&) = delete;

      private:
        HANDLE m_hMutex;
    };

    void LockData();
    void UnlockData();

    CHandle m_mutexData;     // unnamed; held while the block is read or written
    CHandle m_mutexStartup;  // named with m_strName; null if the name is taken
    std::unique_ptr<CSingleLock> m_pStartupLock;  // non-null while this copy holds the lock
    std::string m_strName;

    // The block's handle, kept open by the first copy until the program ends
    // so that the named block exists exactly as long as that copy runs.
    static CHandle s_hMapping;
};
