// The real panel, opened and shown by a test, with no settings stored before
// or after it and message boxes answered (and kept) instead of shown.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_link.h"
#include "framework/message_box.h"
#include "panel/remote_panel_dlg_win.h"
#include "window_checks.h"

inline constexpr const char* kProductKey = "Software\\Quorvane";

inline void RemoveSettings() {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kProductKey);
}

class Panel : public ::testing::Test {
  protected:
    void SetUp() override {
        RemoveSettings();
        g_deviceLink.SetConnected(false);
        g_deviceLink.SetStatus(LINK_STARTING);
        SetMessageBoxFunction([this](HWND, const std::string& strText, const std::string&, UINT) {
            m_boxes.push_back(strText);
            return IDOK;
        });
    }
    void Open() {
        m_panel.m_bHideAtStart = FALSE;
        SetMainWnd(&m_panel);
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel) != FALSE; })) << "panel shown";
    }
    void TearDown() override {
        m_panel.DestroyWindow();
        SetMainWnd(nullptr);
        SetMessageBoxFunction(nullptr);
        RemoveSettings();
    }

    CRemotePanelDlg m_panel;
    std::vector<std::string> m_boxes;
};
