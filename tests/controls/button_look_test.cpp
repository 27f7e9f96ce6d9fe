// The hover button's look without a window: colour choice, caption
// centring and the meaning of the button style bits.
#include "controls/button_look.h"

#include <gtest/gtest.h>

namespace {

using namespace button_look;

TEST(ButtonLook, HoverOrPressWinsOverFocusAndCaptionColourFollowsTheFace) {
    EXPECT_EQ(FaceColorIndex(false, false), 2);
    EXPECT_EQ(FaceColorIndex(false, true), 4);
    EXPECT_EQ(FaceColorIndex(true, false), 0);
    EXPECT_EQ(FaceColorIndex(true, true), 0);
    for (bool bHot : {false, true}) {
        for (bool bFocused : {false, true}) {
            EXPECT_EQ(TextColorIndex(bHot, bFocused), FaceColorIndex(bHot, bFocused) + 1)
                << "hot " << bHot << " focused " << bFocused;
        }
    }
}

TEST(ButtonLook, PressedIsTheSystemsSelectionOrACheckInCheckBoxMode) {
    EXPECT_TRUE(IsDrawnPressed(true, false, 0));
    EXPECT_FALSE(IsDrawnPressed(false, false, 1));  // a push button has no check
    EXPECT_TRUE(IsDrawnPressed(false, true, 1));
    EXPECT_FALSE(IsDrawnPressed(false, true, 0));
}

TEST(ButtonLook, OnlyTwoPressedStylesExistAndAnUnknownOneChangesNothing) {
    Offset shift = {7, 7};
    ASSERT_TRUE(PressedShiftOfStyle(1, &shift));
    EXPECT_EQ(shift.x, 0);
    EXPECT_EQ(shift.y, 2);
    ASSERT_TRUE(PressedShiftOfStyle(0, &shift));
    EXPECT_EQ(shift.x, 1);
    EXPECT_EQ(shift.y, 1);
    for (unsigned nStyle : {2u, 6u, 255u}) {
        EXPECT_FALSE(PressedShiftOfStyle(nStyle, &shift)) << nStyle;
        EXPECT_EQ(shift.x, 1);
        EXPECT_EQ(shift.y, 1);
    }
}

TEST(ButtonLook, CaptionsAreCentredWithHalvesCutTowardsZero) {
    // 100 x 40 button, "WINDOW" measured at 57 x 18.
    Offset o = CenterOffset(100, 40, 57, 18);
    EXPECT_EQ(o.x, 21);
    EXPECT_EQ(o.y, 11);
    // A word wider than the button: the excess of 11 is shared as -5, not -6.
    o = CenterOffset(30, 20, 41, 20);
    EXPECT_EQ(o.x, -5);
    EXPECT_EQ(o.y, 0);
    o = CenterOffset(50, 16, 50, 33);  // two wrapped lines in a one-line button
    EXPECT_EQ(o.y, -8);
}

TEST(ButtonLook, StyleBitsOfTheAttachedControl) {
    constexpr unsigned long WS_CHILD_VISIBLE_TABSTOP = 0x50010000;
    // BS_CHECKBOX, BS_AUTOCHECKBOX and BS_AUTO3STATE carry the check-box bit;
    // push buttons, BS_3STATE and radio buttons do not.
    for (unsigned long nType : {2ul, 3ul, 6ul}) {
        EXPECT_TRUE(IsCheckBoxStyle(WS_CHILD_VISIBLE_TABSTOP | nType)) << nType;
    }
    for (unsigned long nType : {0ul, 1ul, 4ul, 5ul, 9ul}) {
        EXPECT_FALSE(IsCheckBoxStyle(WS_CHILD_VISIBLE_TABSTOP | nType)) << nType;
    }
    EXPECT_TRUE(IsDefPushStyle(WS_CHILD_VISIBLE_TABSTOP | 1));
    EXPECT_FALSE(IsDefPushStyle(WS_CHILD_VISIBLE_TABSTOP | 0));
    EXPECT_FALSE(IsDefPushStyle(0x0B));  // owner-drawn has the bit 1 but is not default

    // Owner-drawn whatever the type; the multiline and alignment bits stay.
    EXPECT_EQ(OwnerDrawStyle(WS_CHILD_VISIBLE_TABSTOP | 0x2000 | 0x0300 | 1),
              WS_CHILD_VISIBLE_TABSTOP | 0x2000 | 0x0300 | 0x0B);
    EXPECT_EQ(OwnerDrawStyle(0x1F), 0x0Bul);
}

TEST(ButtonLook, TheDefaultFollowsPushTypesOnlyAndShowsInTheDialogCode) {
    for (bool bWas : {false, true}) {
        EXPECT_TRUE(DefaultAfterSetStyle(bWas, 1));
        EXPECT_TRUE(DefaultAfterSetStyle(bWas, 0x2000 | 1));
        EXPECT_FALSE(DefaultAfterSetStyle(bWas, 0));
        EXPECT_EQ(DefaultAfterSetStyle(bWas, 0x0B), bWas);
        EXPECT_EQ(DefaultAfterSetStyle(bWas, 3), bWas);
    }
    constexpr unsigned DLGC_BUTTON_CODE = 0x2000;
    EXPECT_EQ(DialogCode(DLGC_BUTTON_CODE, true), DLGC_BUTTON_CODE | 0x10);
    EXPECT_EQ(DialogCode(DLGC_BUTTON_CODE, false), DLGC_BUTTON_CODE | 0x20);
}

}  // namespace
