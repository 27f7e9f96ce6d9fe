// Connection details: the link's last outcome on each port it tried ("COM1:
// missing (12:03:04)"), one line per port, in large text, for a user who
// asks why no magnifier is found or a helper on the telephone. Copy (and
// Ctrl+C) puts all the lines on the clipboard. Below them the port to use:
// "Port: Automatic" or one of the ports present, Bluetooth ones named as
// such; the choice is stored and given to the link when the list closes on
// it and when the window closes. Run modally from the panel's Help menu; the
// lines and the ports are read again every second while it is open.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/com_port.h"
#include "framework/dialog.h"
#include "base/gdi_win.h"
#include "resource.h"

class CConnectionDlg : public CDialog {
  public:
    static constexpr UINT IDD = IDD_CONNECTION_DETAILS;
    static constexpr UINT_PTR IDT_RELOAD = 1;
    static constexpr UINT kReloadMs = 1000;
    static constexpr int kPointTenths = 140;  // the lines' size

    using LinesFn = std::function<std::vector<std::string>()>;
    using PortsFn = std::function<std::vector<ListedPort>()>;

    // The lines come from lines (g_deviceLink's reasons when it is empty), the
    // ports from ports (the system's list when it is empty).
    explicit CConnectionDlg(CWnd* pParent = nullptr, LinesFn lines = {}, PortsFn ports = {});

    // All the lines as the window shows them, CR LF between them.
    std::string Text() const;
    // Puts Text() on the clipboard; false when the clipboard could not be had.
    bool CopyLines();
    // The port list's entries, "Port: Automatic" first, and which is the
    // stored choice; the port behind each entry (0: automatic).
    static std::vector<std::string> PortEntries(const std::vector<ListedPort>& ports, int nChosen,
                                                std::vector<int>& entryPorts);

    bool PreTranslateMessage(MSG* pMsg) override;

  protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void Reload();
    // Fills the port list anew when the ports present changed.
    void ReloadPorts();
    // Stores the selected port as the choice and gives it to the link.
    void ApplyPortChoice();

    LinesFn m_lines;
    PortsFn m_ports;
    std::vector<ListedPort> m_shownPorts;
    std::vector<int> m_entryPorts;  // the port of each entry of the list
    bool m_bPortsShown = false;
    std::string m_strShown;
    CFont m_font;
};
