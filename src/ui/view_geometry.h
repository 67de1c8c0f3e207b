#pragma once

#include <array>

namespace qv::ui {

// The view's zoom steps and the percentages the window shows for them.
inline constexpr std::array<float, 13> kZoomFactors{0.125f, 0.15f, 0.2f, 0.25f, 0.33f, 0.4f, 0.5f,
                                                     0.6f,   0.75f, 1.0f, 1.5f,  2.0f, 3.0f};
inline constexpr std::array<int, 13> kZoomPercents{12, 15, 20, 25, 33, 40, 50, 60, 75, 100, 150, 200, 300};
inline constexpr int kLastZoomIndex = 12;
inline constexpr int kFullSizeZoomIndex = 9;

// The largest step up to 100 % at which the whole image fits the client;
// step 0 when it does not fit even there.
int fittingZoomIndex(int imageWidth, int imageHeight, int clientWidth, int clientHeight);

// Pixels are replicated at 100, 200 and 300 %; reductions and 150 % are smoothed.
bool smoothScaling(float zoom);

struct ViewRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ViewRect&) const = default;
};

// Where an image at a zoom lies in a client of the view, all in device pixels.
struct ViewGeometry {
    int imageWidth = 0, imageHeight = 0;
    int clientWidth = 0, clientHeight = 0;
    float zoom = 1.0f;
    int scrollX = 0, scrollY = 0;

    int zoomedWidth() const { return static_cast<int>(imageWidth * zoom); }
    int zoomedHeight() const { return static_cast<int>(imageHeight * zoom); }
    int maxScrollX() const;
    int maxScrollY() const;
    // Keeps the scroll position within 0..max.
    void clampScroll();
    // The client part the image covers: all of it, or the centred image
    // with black borders around it.
    ViewRect destination() const;
    // The image part drawn into destination(), in image pixels (fractional).
    void sourceRect(double& x, double& y, double& width, double& height) const;
    // The image pixel under a client point, clamped into the image.
    void clientToImage(int x, int y, int& imageX, int& imageY) const;
    // Changes the zoom keeping the image point at the client's centre there.
    void zoomKeepingCentre(float newZoom);
};

}  // namespace qv::ui
