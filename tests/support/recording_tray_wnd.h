// The real agent window with what it hands the shell, and the menus it
// shows, kept for the test to look at.
#pragma once

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "agent/tray_wnd.h"

struct TrayRecord {
    DWORD message;
    NOTIFYICONDATAA data;
};

struct MenuItem {
    UINT id;
    UINT type;
    std::string text;
};

class RecordingTrayWnd : public CTrayWnd {
public:
    std::vector<TrayRecord> records;

    // Each tray menu shown: its items, where it opened, and then what the
    // test does while it is open (close it unchosen, unless told otherwise).
    int menusShown = 0;
    std::vector<MenuItem> menuItems;
    HMENU hMenuShown = nullptr;
    RECT menuRect = {};
    std::function<void(HWND hWndMenu)> whileMenuOpen = [](HWND) { ::EndMenu(); };

    BOOL NotifyIcon(DWORD dwMessage, NOTIFYICONDATAA* pData) override
    {
        TrayRecord r = {dwMessage, {}};
        std::memcpy(&r.data, pData, pData->cbSize);
        records.push_back(r);
        return CTrayWnd::NotifyIcon(dwMessage, pData);
    }

    using CTrayWnd::ShowTrayMenu;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_INITMENUPOPUP) {
            ++menusShown;
            m_bActed = false;
            hMenuShown = reinterpret_cast<HMENU>(wParam);
            menuItems.clear();
            for (int i = 0; i < ::GetMenuItemCount(hMenuShown); ++i) {
                char text[128] = {};
                MENUITEMINFOA mii = {};
                mii.cbSize = sizeof mii;
                mii.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
                mii.dwTypeData = text;
                mii.cch = sizeof text;
                ::GetMenuItemInfoA(hMenuShown, i, TRUE, &mii);
                menuItems.push_back({mii.wID, mii.fType, text});
            }
        } else if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !m_bActed) {
            m_bActed = true;
            const HWND hWndMenu = reinterpret_cast<HWND>(lParam);
            ::GetWindowRect(hWndMenu, &menuRect);
            whileMenuOpen(hWndMenu);
        }
        return CTrayWnd::WindowProc(message, wParam, lParam);
    }

private:
    bool m_bActed = false;
};
