// Ownership of GDI objects, device contexts and kernel handles.
#pragma once

#include <windows.h>

#include <utility>

// A GDI object (font, brush, bitmap, pen, region) that is deleted with its owner.
template <typename Handle>
class CGdiObject {
  public:
    CGdiObject() = default;
    explicit CGdiObject(Handle h) : m_h(h) {}
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other) {
            Attach(std::exchange(other.m_h, nullptr));
        }
        return *this;
    }

    Handle Get() const { return m_h; }
    operator Handle() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    // Takes ownership of h, deleting what it held.
    void Attach(Handle h) {
        DeleteObject();
        m_h = h;
    }
    // Gives up ownership without deleting.
    Handle Detach() { return std::exchange(m_h, nullptr); }
    void DeleteObject() {
        if (m_h != nullptr) {
            ::DeleteObject(m_h);
            m_h = nullptr;
        }
    }

  private:
    Handle m_h = nullptr;
};

class CFont : public CGdiObject<HFONT> {
  public:
    bool CreateFontIndirect(const LOGFONTA& lf) {
        Attach(::CreateFontIndirectA(&lf));
        return Get() != nullptr;
    }
};
using CBrush = CGdiObject<HBRUSH>;
using CBitmap = CGdiObject<HBITMAP>;
using CRgn = CGdiObject<HRGN>;

// Reads a font's description; false when hFont is not a font.
inline bool GetLogFont(HFONT hFont, LOGFONTA& lf) {
    return hFont != nullptr && ::GetObjectA(hFont, sizeof lf, &lf) == sizeof lf;
}

// Selects an object into a device context and puts the old one back.
class CSelectObject {
  public:
    CSelectObject(HDC hdc, HGDIOBJ hObject)
        : m_hdc(hdc), m_hOld(hObject != nullptr ? ::SelectObject(hdc, hObject) : nullptr) {}
    ~CSelectObject() {
        if (m_hOld != nullptr) {
            ::SelectObject(m_hdc, m_hOld);
        }
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

  private:
    HDC m_hdc;
    HGDIOBJ m_hOld;
};

// A window's client-area device context (GetDC / ReleaseDC).
class CClientDC {
  public:
    explicit CClientDC(HWND hWnd) : m_hWnd(hWnd), m_hdc(::GetDC(hWnd)) {}
    ~CClientDC() {
        if (m_hdc != nullptr) {
            ::ReleaseDC(m_hWnd, m_hdc);
        }
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return m_hdc; }

  private:
    HWND m_hWnd;
    HDC m_hdc;
};

// BeginPaint / EndPaint.
class CPaintDC {
  public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd), m_hdc(::BeginPaint(hWnd, &m_ps)) {}
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_hdc; }
    const PAINTSTRUCT& Info() const { return m_ps; }

  private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps = {};
    HDC m_hdc;
};

// A memory device context compatible with another (CreateCompatibleDC / DeleteDC).
class CMemoryDC {
  public:
    explicit CMemoryDC(HDC hdcCompatible) : m_hdc(::CreateCompatibleDC(hdcCompatible)) {}
    ~CMemoryDC() {
        if (m_hdc != nullptr) {
            ::DeleteDC(m_hdc);
        }
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    operator HDC() const { return m_hdc; }

  private:
    HDC m_hdc;
};

// SaveDC / RestoreDC around a scope.
class CSaveDC {
  public:
    explicit CSaveDC(HDC hdc) : m_hdc(hdc), m_nSaved(::SaveDC(hdc)) {}
    ~CSaveDC() {
        if (m_nSaved != 0) {
            ::RestoreDC(m_hdc, m_nSaved);
        }
    }
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;

  private:
    HDC m_hdc;
    int m_nSaved;
};

// A kernel handle closed with its owner.
class CHandle {
  public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) {
            Attach(std::exchange(other.m_h, nullptr));
        }
        return *this;
    }
    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    void Attach(HANDLE h) {
        Close();
        m_h = h;
    }
    void Close() {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_h);
        }
        m_h = nullptr;
    }

  private:
    HANDLE m_h = nullptr;
};
