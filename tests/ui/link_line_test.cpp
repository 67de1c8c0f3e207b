#include "ui/link_line.h"

#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QImage>
#include <QTest>

#include "support/qt_application.h"

namespace qv {
namespace {

const QColor kNormal(0, 0, 238);
const QColor kVisited(85, 26, 139);
const QColor kHover(255, 0, 0);

bool near(QRgb pixel, const QColor& color)
{
    return std::abs(qRed(pixel) - color.red()) + std::abs(qGreen(pixel) - color.green())
               + std::abs(qBlue(pixel) - color.blue())
           < 90;
}

// The most pixels of `color` in one row of what the line shows, and in all.
struct Ink {
    int widestRow = 0;
    int total = 0;
};
Ink inkOf(QWidget& widget, const QColor& color)
{
    const QImage image = widget.grab().toImage();
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        int row = 0;
        for (int x = 0; x < image.width(); ++x)
            row += near(image.pixel(x, y), color);
        ink.widestRow = std::max(ink.widestRow, row);
        ink.total += row;
    }
    return ink;
}

class LinkLineTest : public ::testing::Test {
protected:
    LinkLineTest() { test::qtApplication(); }

    void enter(CLinkLine& line)
    {
        QEnterEvent event(QPointF(5, 5), QPointF(5, 5), line.mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(&line, &event);
    }
    void leave(CLinkLine& line)
    {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(&line, &event);
    }
};

TEST_F(LinkLineTest, HoverTogglesColourAndUnderlineEveryTime)
{
    CLinkLine line(QStringLiteral("Kliknij tutaj aby odwiedzić stronę projektu Quorvelin"),
                   QStringLiteral("https://quorvelin.example/"));
    line.setAutoSize(true);
    line.show();
    const int textWidth = line.width();
    for (int round = 0; round < 3; ++round) {
        enter(line);
        EXPECT_TRUE(line.isHovering());
        Ink ink = inkOf(line, kHover);
        EXPECT_GT(ink.widestRow, textWidth * 8 / 10) << "underlined in the hover colour, round " << round;
        EXPECT_EQ(inkOf(line, kNormal).total, 0);

        leave(line);
        EXPECT_FALSE(line.isHovering());
        ink = inkOf(line, kNormal);
        EXPECT_GT(ink.total, 0);
        EXPECT_LT(ink.widestRow, textWidth / 2) << "no underline after leaving, round " << round;
        EXPECT_EQ(inkOf(line, kHover).total, 0);
    }
}

TEST_F(LinkLineTest, ClickOpensTheTargetAndLeavesTheNormalColour)
{
    CLinkLine line(QStringLiteral("Pomoc techniczna"), QStringLiteral("mailto:pomoc@quorvelin.example"));
    line.setAutoSize(true);
    QList<QUrl> opened;
    line.setOpener([&](const QUrl& url) { opened.append(url); });
    line.show();
    enter(line);
    QTest::mouseClick(&line, Qt::LeftButton, {}, QPoint(3, line.height() / 2));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("mailto:pomoc@quorvelin.example")));
    EXPECT_FALSE(line.isHovering());
    EXPECT_FALSE(line.isVisited());
    EXPECT_EQ(line.textColor(), kNormal);

    QTest::mouseClick(&line, Qt::RightButton, {}, QPoint(3, line.height() / 2));
    EXPECT_EQ(opened.size(), 1) << "only the left button opens";

    line.setVisited(true);
    EXPECT_EQ(line.textColor(), kVisited);
    EXPECT_GT(inkOf(line, kVisited).total, 0);
    enter(line);
    EXPECT_EQ(line.textColor(), kHover);
    line.setHoverColor(QColor());
    EXPECT_EQ(line.textColor(), line.palette().color(QPalette::Highlight));
}

TEST_F(LinkLineTest, EmptyTextShowsTheTargetAndFitsIt)
{
    const QString target = QStringLiteral("https://quorvelin.example/pobierz");
    CLinkLine line(QString(), target);
    EXPECT_EQ(line.shownText(), target);
    line.setGeometry(10, 10, 5, 5);
    line.setAutoSize(true);
    EXPECT_EQ(line.width(), QFontMetrics(line.font()).horizontalAdvance(target));
    EXPECT_EQ(line.pos(), QPoint(10, 10));

    EXPECT_EQ(CLinkLine(target, QString()).target(), target);
}

TEST_F(LinkLineTest, FittingKeepsTheEdgeTheAlignmentNames)
{
    const auto fitted = [](Qt::Alignment alignment) {
        CLinkLine line;
        line.setAlignment(alignment);
        line.setGeometry(100, 100, 200, 40);
        line.setAutoSize(true);
        line.setText(QStringLiteral("Kliknij"));
        return line.geometry();
    };
    const QRect left = fitted(Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(left.topLeft(), QPoint(100, 100));
    EXPECT_LT(left.width(), 200);
    const QRect right = fitted(Qt::AlignRight | Qt::AlignTop);
    EXPECT_EQ(right.right(), 299);
    EXPECT_EQ(right.top(), 100);
    const QRect centred = fitted(Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_LE(std::abs(centred.center().x() - 199), 1);
    EXPECT_LE(std::abs(centred.center().y() - 119), 1);
}

TEST_F(LinkLineTest, TransparentLineShowsItsParentsPicture)
{
    QWidget parent;
    parent.resize(300, 40);
    parent.setAutoFillBackground(true);
    QPalette green;
    green.setColor(QPalette::Window, QColor(0, 160, 0));
    parent.setPalette(green);
    auto* line = new CLinkLine(QStringLiteral("Strona"), QStringLiteral("https://quorvelin.example/"), &parent);
    line->setGeometry(0, 0, 300, 40);
    parent.show();
    const QColor button = line->palette().color(QPalette::Button);
    EXPECT_EQ(parent.grab().toImage().pixelColor(290, 35), button);
    line->setTransparent(true);
    EXPECT_EQ(parent.grab().toImage().pixelColor(290, 35), QColor(0, 160, 0));
}

}  // namespace
}  // namespace qv
