#include "common/placement.h"

#include <cmath>

namespace tavrolin {

Point CenteredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  const float left = (static_cast<float>(screenWidth) - static_cast<float>(windowWidth)) / 2.0f;
  const float top = (static_cast<float>(screenHeight) - static_cast<float>(windowHeight)) / 2.0f;
  return {static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top))};
}

int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

}  // namespace tavrolin
