#pragma once

namespace tavrolin {

struct Point {
  int x = 0;
  int y = 0;
};

// Top-left corner that centres an outer size on a screen, computed in single precision and
// never clamped: a window larger than the screen gets a negative position.
Point CenteredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

// Twips (1/1440 inch) to pixels at `dpi` dots per inch; 15 twips a pixel at 96.
int TwipsToPixels(int twips, int dpi);

}  // namespace tavrolin
