// What the hover button's look depends on, without a window: which of its six
// state colours a paint uses, where a measured caption goes, and what the
// button style bits of its control mean.
#pragma once

#include <string>

namespace button_look {

// The six state colours of a hover button, by index.
enum : int {
    BTNCOLOR_FACE_HOT = 0,    // face while hovered or pressed
    BTNCOLOR_TEXT_HOT = 1,    // caption while hovered or pressed
    BTNCOLOR_FACE = 2,        // face otherwise
    BTNCOLOR_TEXT = 3,        // caption otherwise
    BTNCOLOR_FACE_FOCUS = 4,  // face while focused (not hovered, not pressed)
    BTNCOLOR_TEXT_FOCUS = 5,  // caption while focused
    BTNCOLOR_COUNT = 6,
};

// Face and caption colour indexes for a paint. bHot: hovered or pressed.
int FaceColorIndex(bool bHot, bool bFocused);
int TextColorIndex(bool bHot, bool bFocused);

// Whether a paint shows the button pressed: the system's selected state, and
// in check-box mode also a set check.
bool IsDrawnPressed(bool bSelected, bool bCheckBox, int nCheck);

struct Offset {
    int x;
    int y;
};

// The caption's shift while pressed for a pressed style: 0 gives (1, 1), 1
// gives (0, 2). False for any other style, and *pShift is left alone.
bool PressedShiftOfStyle(unsigned nStyle, Offset* pShift);

// How far to move a text measured at the top left of an area so that it is
// centred in it: half the difference each way, cut towards zero (a text wider
// than its area moves left by half the excess).
Offset CenterOffset(int nAreaWidth, int nAreaHeight, int nTextWidth, int nTextHeight);

// The focus frame's colour on a face of colour crFace (a COLORREF): black on
// a light face, white on a dark one, by the face's relative luminance.
unsigned long ContrastingColor(unsigned long crFace);

// A caption as it reads without its access key marked: each "&" that marks
// the next character is dropped, and "&&" stands for one "&". Drawn with the
// system's prefix processing off, it looks as the marked caption does with
// the underline hidden.
std::string WithoutPrefix(const std::string& strCaption);

// Button control styles (the low five bits are the button type).
constexpr unsigned long BUTTON_TYPE_MASK = 0x1F;
constexpr unsigned long BUTTON_TYPE_DEFPUSH = 0x01;
constexpr unsigned long BUTTON_TYPE_OWNERDRAW = 0x0B;
constexpr unsigned long BUTTON_CHECKBOX_BIT = 0x02;  // check boxes and their kin
constexpr unsigned DLGCODE_DEFPUSHBUTTON = 0x10;
constexpr unsigned DLGCODE_UNDEFPUSHBUTTON = 0x20;

// A control of this style is a check box (its low byte has the check-box bit).
bool IsCheckBoxStyle(unsigned long nStyle);
// A control of this style is the dialog's default push button.
bool IsDefPushStyle(unsigned long nStyle);
// The style with its button type replaced by owner-drawn, everything else kept.
unsigned long OwnerDrawStyle(unsigned long nStyle);
// Whether the button is the default one after a new button style: a default
// push style makes it so, a plain push style ends it, other types leave it.
bool DefaultAfterSetStyle(bool bDefault, unsigned long nNewStyle);
// The dialog code of the button: the control's own code plus whether it is
// the default push button or not.
unsigned DialogCode(unsigned nOwnCode, bool bDefault);

}  // namespace button_look
