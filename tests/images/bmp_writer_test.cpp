// bmp_writer_test.cpp -- the BMP bytes the writer lays down, field by field
#include "images.h"

#include <gtest/gtest.h>

static Canvas canvas;
static unsigned char out[BMP_MAX_BYTES];

TEST(BmpWriter, RowBytesPadToFour)
{
  const int cases[][2] = { { 1, 4 }, { 2, 8 }, { 3, 12 }, { 4, 12 }, { 5, 16 }, { 64, 192 }, { 512, 1536 } };
  for (const auto& c : cases)
    EXPECT_EQ(bmpRowBytes(c[0]), c[1]) << "width " << c[0];
}

TEST(BmpWriter, ChannelByteClampsAndRoundsToNearest)
{
  EXPECT_EQ(channelByte(-0.5), 0);
  EXPECT_EQ(channelByte(0.0), 0);
  EXPECT_EQ(channelByte(0.2), 51);
  EXPECT_EQ(channelByte(0.5), 128);     // 127.5 rounds up
  EXPECT_EQ(channelByte(0.499), 127);
  EXPECT_EQ(channelByte(1.0), 255);
  EXPECT_EQ(channelByte(3.0), 255);
}

TEST(BmpWriter, HeaderOfAThreeByTwoPicture)
{
  canvasClear(&canvas, 3, 2);
  ASSERT_EQ(bmpEncode(&canvas, out, sizeof out), 78u);   // 54 + 2 rows of 12 bytes
  const unsigned char expected[54] = {
    'B', 'M', 78, 0, 0, 0,  0, 0, 0, 0,  54, 0, 0, 0,   // file size, reserved, pixel offset
    40, 0, 0, 0,   3, 0, 0, 0,   2, 0, 0, 0,            // info size, width, height (bottom-up)
    1, 0,   24, 0,   0, 0, 0, 0,   24, 0, 0, 0,         // planes, bits, no compression, pixel bytes
    0x13, 0x0b, 0, 0,   0x13, 0x0b, 0, 0,               // 2835 pixels per metre both ways
    0, 0, 0, 0,   0, 0, 0, 0,                           // palette: none
  };
  for (int i = 0; i < 54; i++)
    EXPECT_EQ(out[i], expected[i]) << "header byte " << i;
}

TEST(BmpWriter, RowsBottomUpPixelsBlueGreenRedPaddingZero)
{
  canvasClear(&canvas, 3, 2);
  *canvasAt(&canvas, 0, 0) = rgb(1, 0, 0);      // top-left red
  *canvasAt(&canvas, 2, 0) = rgb(0, 0, 1);      // top-right blue
  *canvasAt(&canvas, 0, 1) = rgb(0, 1, 0);      // bottom-left green
  *canvasAt(&canvas, 1, 1) = rgb(0.2, 0.4, 0.6);
  ASSERT_EQ(bmpEncode(&canvas, out, sizeof out), 78u);
  const unsigned char pixels[24] = {
    // bottom row first
    0, 255, 0,   153, 102, 51,   0, 0, 0,   0, 0, 0,
    // then the top row
    0, 0, 255,   0, 0, 0,   255, 0, 0,      0, 0, 0,
  };
  for (int i = 0; i < 24; i++)
    EXPECT_EQ(out[54 + i], pixels[i]) << "pixel byte " << i;
}

TEST(BmpWriter, RefusesABufferTooSmall)
{
  canvasClear(&canvas, 4, 4);
  EXPECT_EQ(bmpEncode(&canvas, out, 54 + 47), 0u);   // needs 54 + 48
  EXPECT_EQ(bmpEncode(&canvas, out, 54 + 48), 102u);
}

TEST(BmpWriter, WriteFailsForAFolderThatDoesNotExist)
{
  canvasClear(&canvas, 2, 2);
  EXPECT_EQ(bmpWrite(&canvas, "/nonexistent-folder-for-images-test/x.bmp"), 0);
}
