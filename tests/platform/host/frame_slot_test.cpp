// The frame slot the hosts share: an image handed over shows only at the next frame end or look at
// the input, copied by its rows whatever their pitch, and whole, whichever way it came.
#ifndef _WIN32
#include "platform/host/frame_slot.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(FrameSlot, AnImageShowsOnlyOnceShownAndPalettedRowsAreCopiedByTheirPitch)
{
    host::FrameSlot slot;
    EXPECT_FALSE(slot.Show()) << "nothing handed over yet";
    EXPECT_TRUE(slot.Shown().Empty());

    // Three rows of two, five bytes apart, read bottom-up through a negative pitch.
    const uint8_t rows[15] = {1, 2, 99, 99, 99, 3, 4, 99, 99, 99, 5, 6, 99, 99, 99};
    uint32_t palette[256] = {};
    palette[6] = 0x00AABBCC;
    slot.SetPalettedImage(rows + 10, -5, palette, 2, 3);
    EXPECT_TRUE(slot.Dirty());
    EXPECT_TRUE(slot.Shown().Empty()) << "not before the frame ends";
    EXPECT_TRUE(slot.Show());
    EXPECT_FALSE(slot.Dirty());
    const host::Picture& shown = slot.Shown();
    EXPECT_TRUE(shown.Paletted());
    EXPECT_EQ(shown.nWidth, 2);
    EXPECT_EQ(shown.nHeight, 3);
    EXPECT_EQ(shown.indices, (std::vector<uint8_t>{5, 6, 3, 4, 1, 2}));
    EXPECT_EQ(shown.palette[6], 0x00AABBCCu);
    palette[6] = 0;
    EXPECT_EQ(slot.Shown().palette[6], 0x00AABBCCu) << "the colours are copied at once";

    // Colours replace the indices whole; the picture shown stays until the next show.
    const uint32_t xrgb[2] = {0x00102030, 0x00405060};
    slot.SetImage(xrgb, 2, 1);
    EXPECT_EQ(slot.Shown().indices.size(), 6u);
    EXPECT_TRUE(slot.Show());
    EXPECT_FALSE(slot.Shown().Paletted());
    EXPECT_EQ(slot.Shown().xrgb, (std::vector<uint32_t>{0x00102030, 0x00405060}));
    EXPECT_FALSE(slot.Show()) << "nothing new: the same picture stays shown";
    EXPECT_EQ(slot.Shown().xrgb.size(), 2u);

    // And back to indices: nothing of the colours is left over.
    slot.SetPalettedImage(rows, 5, palette, 2, 1);
    slot.Show();
    EXPECT_TRUE(slot.Shown().xrgb.empty());
    EXPECT_EQ(slot.Shown().indices, (std::vector<uint8_t>{1, 2}));
}

TEST(FrameSlot, AnEmptyImageIsShownAsNothing)
{
    host::FrameSlot slot;
    uint32_t palette[256] = {};
    slot.SetPalettedImage(nullptr, 0, palette, 0, 480);
    slot.Show();
    EXPECT_TRUE(slot.Shown().Empty());
    slot.SetImage(nullptr, 640, 0);
    slot.Show();
    EXPECT_TRUE(slot.Shown().Empty());
    EXPECT_TRUE(slot.Shown().xrgb.empty());
}

}  // namespace
#endif
