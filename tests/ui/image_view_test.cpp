#include "ui/image_view.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include "imaging/bitmap.h"
#include "support/qt_application.h"
#include "support/test_data.h"
#include "ui/engine_session.h"
#include "ui/progress_dialog.h"
#include "ui/worker_wait.h"

namespace qv::ui {
namespace {

// A bitmap whose every pixel has its own colour: red = 40 x, green = 40 y,
// blue as given.
std::unique_ptr<Bitmap> pattern(int width, int height, uint8_t blue)
{
    auto bitmap = Bitmap::create(width, height, PixelFormat::Bgr24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap->row(y) + 3 * x;
            p[0] = blue;
            p[1] = static_cast<uint8_t>(40 * y);
            p[2] = static_cast<uint8_t>(40 * x);
        }
    return bitmap;
}

QRgb colourOf(int x, int y, uint8_t blue) { return qRgb(40 * x, 40 * y, blue); }

class ImageViewTest : public ::testing::Test, private test::WithApplication {
protected:
    ImageViewTest()
    {
        view.resize(view.minimumSize());
        view.setImages(output.get(), source.get());
    }
    // The top left corner of an image of w x h centred in the view.
    int left(int w) const { return (view.width() - w) / 2; }
    int top(int h) const { return (view.height() - h) / 2; }
    QImage shown() { return view.grab().toImage(); }
    void press(Qt::MouseButton button, QEvent::Type type)
    {
        QMouseEvent event(type, QPointF(5, 5), view.mapToGlobal(QPointF(5, 5)), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    }

    std::unique_ptr<Bitmap> output = pattern(4, 2, 200);
    std::unique_ptr<Bitmap> source = pattern(4, 2, 0);
    CImageView view;
};

TEST_F(ImageViewTest, FullSizeShowsEachPixelOnceCentredOnBlack)
{
    EXPECT_EQ(view.applyZoom(kFullSizeZoomIndex, false), kFullSizeZoomIndex);
    const QImage image = shown();
    const int x = left(4), y = top(2);
    EXPECT_EQ(image.pixel(x - 1, y), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(x, y), colourOf(0, 0, 200));
    EXPECT_EQ(image.pixel(x + 1, y), colourOf(1, 0, 200));
    EXPECT_EQ(image.pixel(x + 3, y + 1), colourOf(3, 1, 200));
    EXPECT_EQ(image.pixel(x + 4, y + 1), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(x, y + 2), qRgb(0, 0, 0));
}

TEST_F(ImageViewTest, EveryPixelOfTheViewIsPaintedWhateverTheBorderWidths)
{
    std::vector<std::unique_ptr<Bitmap>> images;
    for (const auto& [width, height] : {std::pair{5, 3}, std::pair{161, 121}, std::pair{1000, 7}}) {
        images.push_back(pattern(width, height, 90));
        view.setImages(images.back().get(), nullptr);
        for (int index : {4, kFullSizeZoomIndex, 10}) {
            view.applyZoom(index, false);
            // What the paint leaves out keeps the red the view is drawn over.
            QPixmap canvas(view.size());
            canvas.fill(Qt::red);
            view.render(&canvas, QPoint(), QRegion(), QWidget::RenderFlags());
            const QImage image = canvas.toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ASSERT_NE(image.pixel(x, y), qRgb(255, 0, 0)) << width << "x" << height << " step " << index
                                                                  << " at " << x << "," << y;
        }
    }
}

TEST_F(ImageViewTest, TwoHundredPercentReplicatesPixels)
{
    view.applyZoom(11, false);
    const QImage image = shown();
    const int x = left(8), y = top(4);
    for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx)
            EXPECT_EQ(image.pixel(x + 2 + dx, y + 2 + dy), colourOf(1, 1, 200));
}

TEST_F(ImageViewTest, RightButtonShowsTheSourceUnlessProcessingRuns)
{
    view.applyZoom(kFullSizeZoomIndex, false);
    const int x = left(4), y = top(2);
    press(Qt::RightButton, QEvent::MouseButtonPress);
    EXPECT_EQ(shown().pixel(x, y), colourOf(0, 0, 0));
    press(Qt::RightButton, QEvent::MouseButtonRelease);
    EXPECT_EQ(shown().pixel(x, y), colourOf(0, 0, 200));

    view.setBusyQuery([] { return true; });
    press(Qt::RightButton, QEvent::MouseButtonPress);
    EXPECT_EQ(shown().pixel(x, y), colourOf(0, 0, 200));
}

TEST_F(ImageViewTest, FittingNeverEnlargesAndReductionsAreDrawnFromTheReducedCopy)
{
    EXPECT_EQ(view.applyZoom(-1, false), kFullSizeZoomIndex);
    auto large = pattern(2000, 1000, 50);
    view.setImages(large.get(), nullptr);
    EXPECT_EQ(view.applyZoom(-1, false), 0);  // too large even at 12 %
    EXPECT_EQ(qBlue(shown().pixel(view.width() / 2, view.height() / 2)), 50);
}

TEST_F(ImageViewTest, ANewResultReplacesTheReducedCopyButNotOneHeldElsewhere)
{
    auto large = pattern(2000, 1000, 50);
    const auto setBlue = [&](uint8_t blue) {
        for (int y = 0; y < large->height(); ++y)
            for (int x = 0; x < large->width(); ++x)
                large->row(y)[3 * x] = blue;
        view.outputChanged();
    };
    const auto blueShown = [&] { return qBlue(shown().pixel(view.width() / 2, view.height() / 2)); };
    view.setImages(large.get(), nullptr);
    view.applyZoom(0, false);
    EXPECT_EQ(blueShown(), 50);
    setBlue(120);
    EXPECT_EQ(blueShown(), 120);
    const QImage held = *view.reducedOutput();
    setBlue(200);
    EXPECT_EQ(blueShown(), 200);
    EXPECT_EQ(qBlue(held.pixel(0, 0)), 120);
}

TEST(WorkerWait, TheEventLoopRunsWhileALoadIsWaitedFor)
{
    test::qtApplication();
    QWidget window;
    EngineSession session;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    ASSERT_TRUE(session.startLoad({test::testDataPath("photo_night_street_shop.jpg")}));
    EXPECT_FALSE(waitForWorkerThread(&window, session));
    EXPECT_FALSE(session.workerRunning());
    EXPECT_EQ(session.finishWorker(), ThreadResult::Done);
    EXPECT_GT(ticks, 0);
}

TEST(WorkerWait, EnterInTheProgressDialogAbortsNothing)
{
    test::qtApplication();
    EngineSession session;
    ASSERT_TRUE(session.startLoad({test::testDataPath("photo_night_street_shop.jpg")}));
    CProgressDialog dialog(session);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    const bool stillRunning = session.workerRunning();
    EXPECT_TRUE(dialog.isVisible() || !stillRunning);
    EXPECT_EQ(session.finishWorker(), ThreadResult::Done);
}

TEST(WorkerWait, TheWindowsShortcutsAndMenusAreHeldBackDuringAWait)
{
    test::qtApplication();
    QWidget window;
    window.setContextMenuPolicy(Qt::CustomContextMenu);
    int menus = 0;
    QObject::connect(&window, &QWidget::customContextMenuRequested, [&] { ++menus; });
    QAction open(&window);
    open.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    window.addAction(&open);
    int triggered = 0;
    QObject::connect(&open, &QAction::triggered, [&] { ++triggered; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
    ASSERT_EQ(triggered, 1);

    EngineSession session;
    ASSERT_TRUE(session.startLoad({test::testDataPath("photo_night_street_shop.jpg")}));
    bool pressedDuringWait = false;
    QTimer::singleShot(0, [&] {
        pressedDuringWait = session.workerRunning();
        QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(&window, &menu);
    });
    waitForWorkerThread(&window, session);
    session.finishWorker();
    ASSERT_TRUE(pressedDuringWait);
    EXPECT_EQ(triggered, 1);
    EXPECT_EQ(menus, 0);
}

}  // namespace
}  // namespace qv::ui
