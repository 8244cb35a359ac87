// The platform's records as the Windows ABI lays them out, for the pointer size of the build: the
// same table holds for the real headers (under Wine, 32-bit and 64-bit) and for the stand-in
// (natively), so a stand-in record that drifts from Windows' layout fails here by name.
#include <gtest/gtest.h>

#include <cstddef>

#include "platform/win32.h"

namespace {

const bool k64 = sizeof(void*) == 8;

size_t Either(size_t n32, size_t n64)
{
    return k64 ? n64 : n32;
}

TEST(PlatformLayout, RecordsHaveTheWindowsSizes)
{
    EXPECT_EQ(sizeof(MSG), Either(28, 48));
    EXPECT_EQ(sizeof(WNDCLASSA), Either(40, 72));
    EXPECT_EQ(sizeof(RECT), 16u);
    EXPECT_EQ(sizeof(POINT), 8u);
    EXPECT_EQ(sizeof(BITMAPFILEHEADER), 14u);
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), 40u);
    EXPECT_EQ(sizeof(BITMAPINFO), 44u);
    EXPECT_EQ(sizeof(RGBQUAD), 4u);
    EXPECT_EQ(sizeof(PALETTEENTRY), 4u);
    EXPECT_EQ(sizeof(LOGPALETTE), 8u);
    EXPECT_EQ(sizeof(WAVEFORMATEX), 18u);
    EXPECT_EQ(sizeof(MMCKINFO), 20u);
    EXPECT_EQ(sizeof(MMIOINFO), Either(72, 100));
    EXPECT_EQ(sizeof(DSBUFFERDESC), Either(20, 24));
    EXPECT_EQ(sizeof(DSBPOSITIONNOTIFY), Either(8, 16));
    EXPECT_EQ(sizeof(DDSURFACEDESC2), Either(124, 136));
    EXPECT_EQ(sizeof(DDPIXELFORMAT), 32u);
    EXPECT_EQ(sizeof(DDSCAPS2), 16u);
    EXPECT_EQ(sizeof(DDCOLORKEY), 8u);
}

TEST(PlatformLayout, IntegersAndParametersHaveTheWindowsWidths)
{
    // LONG and DWORD stay 32 bits on 64-bit Windows; message parameters and results follow the
    // pointer.
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(HRESULT), 4u);
    EXPECT_EQ(sizeof(FOURCC), 4u);
    EXPECT_EQ(sizeof(WPARAM), sizeof(void*));
    EXPECT_EQ(sizeof(LPARAM), sizeof(void*));
    EXPECT_EQ(sizeof(LRESULT), sizeof(void*));
    EXPECT_EQ(sizeof(HMMIO), sizeof(void*));
}

TEST(PlatformLayout, FieldsTheSystemFillsSitWhereWindowsReadsThem)
{
    EXPECT_EQ(offsetof(DSBUFFERDESC, lpwfxFormat), 16u);
    EXPECT_EQ(offsetof(DDSURFACEDESC2, lpSurface), Either(36, 40));
    EXPECT_EQ(offsetof(DDSURFACEDESC2, ddpfPixelFormat), Either(72, 80));
    EXPECT_EQ(offsetof(DDSURFACEDESC2, ddsCaps), Either(104, 112));
    EXPECT_EQ(offsetof(MMIOINFO, pchBuffer), Either(24, 32));
    EXPECT_EQ(offsetof(MMIOINFO, pchNext), Either(28, 40));
    EXPECT_EQ(offsetof(MMIOINFO, adwInfo), Either(48, 72));
}

}  // namespace
