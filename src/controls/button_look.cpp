#include "controls/button_look.h"

namespace button_look {

int FaceColorIndex(bool bHot, bool bFocused) {
    if (bHot) {
        return BTNCOLOR_FACE_HOT;
    }
    return bFocused ? BTNCOLOR_FACE_FOCUS : BTNCOLOR_FACE;
}

int TextColorIndex(bool bHot, bool bFocused) {
    if (bHot) {
        return BTNCOLOR_TEXT_HOT;
    }
    return bFocused ? BTNCOLOR_TEXT_FOCUS : BTNCOLOR_TEXT;
}

bool IsDrawnPressed(bool bSelected, bool bCheckBox, int nCheck) {
    return bSelected || (bCheckBox && nCheck != 0);
}

bool PressedShiftOfStyle(unsigned nStyle, Offset* pShift) {
    switch (nStyle) {
        case 0:
            *pShift = {1, 1};
            return true;
        case 1:
            *pShift = {0, 2};
            return true;
        default:
            return false;
    }
}

Offset CenterOffset(int nAreaWidth, int nAreaHeight, int nTextWidth, int nTextHeight) {
    // C++ division cuts towards zero, which is the rule for a text larger
    // than its area as well.
    return {(nAreaWidth - nTextWidth) / 2, (nAreaHeight - nTextHeight) / 2};
}

unsigned long ContrastingColor(unsigned long crFace) {
    // Rec. 709 weights on the gamma-encoded components: close enough to
    // tell a light face from a dark one, which is all the frame needs.
    const unsigned long r = crFace & 0xFF;
    const unsigned long g = (crFace >> 8) & 0xFF;
    const unsigned long b = (crFace >> 16) & 0xFF;
    const unsigned long nLuma = 2126 * r + 7152 * g + 722 * b;  // 0 to 2550000
    return nLuma >= 1275000 ? 0x000000 : 0xFFFFFF;
}

std::string WithoutPrefix(const std::string& strCaption) {
    std::string strText;
    for (std::size_t i = 0; i < strCaption.size(); ++i) {
        if (strCaption[i] == '&') {
            ++i;  // the marked character, or the second "&" of a pair
            if (i == strCaption.size()) {
                break;
            }
        }
        strText += strCaption[i];
    }
    return strText;
}

bool IsCheckBoxStyle(unsigned long nStyle) {
    return ((nStyle & 0xFF) & BUTTON_CHECKBOX_BIT) != 0;
}

bool IsDefPushStyle(unsigned long nStyle) {
    return (nStyle & BUTTON_TYPE_MASK) == BUTTON_TYPE_DEFPUSH;
}

unsigned long OwnerDrawStyle(unsigned long nStyle) {
    return (nStyle & ~BUTTON_TYPE_MASK) | BUTTON_TYPE_OWNERDRAW;
}

bool DefaultAfterSetStyle(bool bDefault, unsigned long nNewStyle) {
    switch (nNewStyle & BUTTON_TYPE_MASK) {
        case 0:
            return false;
        case BUTTON_TYPE_DEFPUSH:
            return true;
        default:
            return bDefault;
    }
}

unsigned DialogCode(unsigned nOwnCode, bool bDefault) {
    return nOwnCode | (bDefault ? DLGCODE_DEFPUSHBUTTON : DLGCODE_UNDEFPUSHBUTTON);
}

}  // namespace button_look
