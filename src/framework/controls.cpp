#include "framework/controls.h"

std::string CComboBox::GetLBText(int nIndex) const {
    const LRESULT nLength = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex));
    if (nLength == CB_ERR || nLength < 0) {
        return std::string();
    }
    std::string text(static_cast<size_t>(nLength) + 1, '\0');
    const LRESULT nCopied = SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(nIndex),
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(nCopied == CB_ERR || nCopied < 0 ? 0 : static_cast<size_t>(nCopied));
    return text;
}
