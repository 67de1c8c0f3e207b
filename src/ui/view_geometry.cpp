#include "ui/view_geometry.h"

#include <algorithm>

namespace qv::ui {

int fittingZoomIndex(int imageWidth, int imageHeight, int clientWidth, int clientHeight)
{
    int i = 0;
    while (i < 10 && imageWidth * kZoomFactors[i] < clientWidth && imageHeight * kZoomFactors[i] < clientHeight)
        ++i;
    return i > 0 ? i - 1 : 0;
}

bool smoothScaling(float zoom) { return zoom < 1.0f || zoom == 1.5f; }

int ViewGeometry::maxScrollX() const { return std::max(zoomedWidth() - clientWidth, 0); }
int ViewGeometry::maxScrollY() const { return std::max(zoomedHeight() - clientHeight, 0); }

void ViewGeometry::clampScroll()
{
    scrollX = std::clamp(scrollX, 0, maxScrollX());
    scrollY = std::clamp(scrollY, 0, maxScrollY());
}

ViewRect ViewGeometry::destination() const
{
    ViewRect r{0, 0, clientWidth, clientHeight};
    if (zoomedWidth() < clientWidth) {
        r.x = (clientWidth - zoomedWidth()) / 2;
        r.width = clientWidth - 2 * r.x;
    }
    if (zoomedHeight() < clientHeight) {
        r.y = (clientHeight - zoomedHeight()) / 2;
        r.height = clientHeight - 2 * r.y;
    }
    return r;
}

void ViewGeometry::sourceRect(double& x, double& y, double& width, double& height) const
{
    const ViewRect d = destination();
    x = scrollX / static_cast<double>(zoom);
    y = scrollY / static_cast<double>(zoom);
    width = d.width / static_cast<double>(zoom);
    height = d.height / static_cast<double>(zoom);
}

void ViewGeometry::clientToImage(int x, int y, int& imageX, int& imageY) const
{
    const int bx = zoomedWidth() < clientWidth ? (clientWidth - zoomedWidth()) / 2 : 0;
    const int by = zoomedHeight() < clientHeight ? (clientHeight - zoomedHeight()) / 2 : 0;
    imageX = std::clamp(static_cast<int>((scrollX + x - bx) / zoom), 0, std::max(imageWidth - 1, 0));
    imageY = std::clamp(static_cast<int>((scrollY + y - by) / zoom), 0, std::max(imageHeight - 1, 0));
}

void ViewGeometry::zoomKeepingCentre(float newZoom)
{
    if (newZoom == zoom)
        return;
    int x0, y0, x1, y1;
    clientToImage(0, 0, x0, y0);
    clientToImage(clientWidth, clientHeight, x1, y1);
    const int centreX = (x0 + x1) / 2;
    const int centreY = (y0 + y1) / 2;
    zoom = newZoom;
    scrollX = static_cast<int>(centreX * newZoom) - clientWidth / 2;
    scrollY = static_cast<int>(centreY * newZoom) - clientHeight / 2;
    clampScroll();
}

}  // namespace qv::ui
