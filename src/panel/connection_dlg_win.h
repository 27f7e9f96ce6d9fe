// Connection details: the link's last outcome on each port it tried ("COM1:
// missing (12:03:04)"), one line per port, in large text, for a user who
// asks why no magnifier is found or a helper on the telephone. Copy (and
// Ctrl+C) puts all the lines on the clipboard. Run modally from the panel's
// Help menu; the lines are read again every second while it is open.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/gdi.h"
#include "resource.h"

class CConnectionDlg : public CDialog {
  public:
    static constexpr UINT IDD = IDD_CONNECTION_DETAILS;
    static constexpr UINT_PTR IDT_RELOAD = 1;
    static constexpr UINT kReloadMs = 1000;
    static constexpr int kPointTenths = 140;  // the lines' size

    using LinesFn = std::function<std::vector<std::string>()>;

    // The lines come from lines (g_deviceLink's reasons when it is empty).
    explicit CConnectionDlg(CWnd* pParent = nullptr, LinesFn lines = {});

    // All the lines as the window shows them, CR LF between them.
    std::string Text() const;
    // Puts Text() on the clipboard; false when the clipboard could not be had.
    bool CopyLines();

    bool PreTranslateMessage(MSG* pMsg) override;

  protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void Reload();

    LinesFn m_lines;
    std::string m_strShown;
    CFont m_font;
};
