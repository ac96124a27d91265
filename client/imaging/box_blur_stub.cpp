// Placeholder until the imaging helpers land.
#include "imaging/box_blur.h"

namespace tamovox {
void boxBlur(QImage&, const Rect&) {}
}  // namespace tamovox
