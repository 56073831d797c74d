// The placement arithmetic of the capture PDF, the merged PDF and the list export, each as its documents have
// it.
#include "qx/pdf/page_placement.h"

#include <cmath>
#include <cstdlib>

namespace qx::pdf {

PagePlacement capturePlacement(double width, double height) {
    PagePlacement p;
    const double r = width / height;
    if (r < kBoxWidth / kBoxHeight)
        p.x = static_cast<double>(static_cast<long>(std::fabs(kBoxWidth - kBoxHeight * r)) / 2 + 20);
    else
        p.y = static_cast<double>(static_cast<long>(std::fabs(kBoxHeight - kBoxWidth / r)) / 2 + 20);
    return p;
}

PagePlacement mergePlacement(double width, double height) {
    PagePlacement p;
    if (width / height >= 0.6920199501246883)
        p.y = static_cast<double>(std::labs(static_cast<long>(kBoxHeight - kBoxWidth * height / width)) / 2 +
                                  20);
    else
        p.x = static_cast<double>(std::labs(static_cast<long>(kBoxWidth - kBoxHeight * width / height)) / 2 +
                                  20);
    return p;
}

PagePlacement exportPlacement(double width, double height) {
    PagePlacement p;
    if (width / height < 0.6920199501246883)
        p.x = std::fabs(kBoxWidth - width / height * kBoxHeight) * 0.5 + kMargin;
    else
        p.y = std::fabs(kBoxHeight - height / width * kBoxWidth) * 0.5 + kMargin;
    return p;
}

} // namespace qx::pdf
