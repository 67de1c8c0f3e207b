#include "app/splash_window.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <QTimer>

#include "support/qt_application.h"
#include "ui/link_line.h"

namespace qv {
namespace {

class SplashWindowTest : public ::testing::Test {
protected:
    SplashWindowTest() { test::qtApplication(); }
    ~SplashWindowTest() override
    {
        if (window_)
            delete window_;
    }
    CSplashWindow* open(int seconds)
    {
        window_ = CSplashWindow::open(seconds);
        return window_;
    }

private:
    QPointer<CSplashWindow> window_;
};

int pixelsNear(const QImage& image, const QRect& area, const QColor& color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green())
                         + std::abs(pixel.blue() - color.blue())
                     < 24;
        }
    return count;
}

TEST_F(SplashWindowTest, ShowsPictureTitleAndLinksAndOpensOnce)
{
    CSplashWindow* splash = open(CSplashWindow::kStartupSeconds);
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(CSplashWindow::open(0), nullptr) << "an open window is not opened again";
    EXPECT_EQ(splash->size(), QSize(625, 430));

    const QImage shown = splash->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = QImage(QStringLiteral(":/splash.jpg")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), QSize(625, 430));
    EXPECT_EQ(shown.copy(0, 0, 625, 300), picture.copy(0, 0, 625, 300));
    // The title in light grey over its dark shadow.
    const QRect title(198, 315, 625 - 20 - 198, 21);
    EXPECT_GT(pixelsNear(shown, title, QColor(220, 220, 220)), 40);
    EXPECT_GT(pixelsNear(shown, title, QColor(55, 55, 55)), 20);

    const QList<CLinkLine*> links = splash->findChildren<CLinkLine*>();
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(links[0]->geometry(), QRect(198, 355, 407, 18));
    EXPECT_EQ(links[1]->geometry(), QRect(198, 374, 407, 18));
    EXPECT_TRUE(links[0]->target().startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(links[1]->target().startsWith(QStringLiteral("mailto:")));
    EXPECT_EQ(links[0]->textColor(), QColor(120, 170, 255));

    // A click on a link opens it and leaves the window; one elsewhere closes it.
    QList<QUrl> opened;
    links[0]->setOpener([&](const QUrl& url) { opened.append(url); });
    QTest::mouseClick(links[0], Qt::LeftButton, {}, QPoint(4, 9));
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(CSplashWindow::isOpen());
    QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(QTest::qWaitFor([] { return !CSplashWindow::isOpen(); }, 2000));
}

TEST_F(SplashWindowTest, FadesIn)
{
    CSplashWindow* about = open(0);
    ASSERT_NE(about, nullptr);
    EXPECT_LT(about->windowOpacity(), 0.5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return about->windowOpacity() == 1.0; }, 5000));
}

TEST_F(SplashWindowTest, SplashClosesByItself)
{
    ASSERT_NE(open(1), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([] { return !CSplashWindow::isOpen(); }, 5000));
}

TEST_F(SplashWindowTest, OnlyTheAboutBoxClosesWhenAnotherWindowTakesTheFocus)
{
    QWidget other;
    other.show();

    CSplashWindow* splash = open(CSplashWindow::kStartupSeconds);
    QApplication::setActiveWindow(splash);
    other.activateWindow();
    QApplication::setActiveWindow(&other);
    QTest::qWait(50);
    EXPECT_TRUE(CSplashWindow::isOpen());
    splash->close();
    ASSERT_TRUE(QTest::qWaitFor([] { return !CSplashWindow::isOpen(); }, 2000));

    CSplashWindow* about = open(0);
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    QTest::qWait(100);
    EXPECT_TRUE(CSplashWindow::isOpen()) << "no time limit";
    QApplication::setActiveWindow(&other);
    EXPECT_TRUE(QTest::qWaitFor([] { return !CSplashWindow::isOpen(); }, 2000));
}

TEST_F(SplashWindowTest, ProgramEndsWithItsMainWindowWhileTheSplashIsUp)
{
    QWidget mainWindow;
    mainWindow.show();
    ASSERT_NE(open(CSplashWindow::kStartupSeconds), nullptr);
    QTimer::singleShot(50, &mainWindow, &QWidget::close);
    // A safety net: the loop would otherwise run until the splash closes.
    QTimer::singleShot(5000, [] { QApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);
}

}  // namespace
}  // namespace qv
