// The pictures of ImageList1: all there, 16 by 16, and the arrows in the
// colours and directions their uses depend on.
#include "ui/widgets/image_list.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>
#include <memory>

#include "ui/widgets/deferred_icon_style.h"

namespace {

// Pixels of one colour family in a picture: how many, and how wide the shape
// is just inside each end. An arrow is narrow at its tip and wide at its tail.
struct Shape {
    int pixels = 0;
    QRect box;
    int firstEnd = 0;  // width (or height) one pixel inside the top (or left) end
    int lastEnd = 0;   // and inside the bottom (or right) end
};

template <class Pred>
Shape shapeOf(const QImage& image, Pred colourMatches, bool vertical) {
    Shape s;
    auto hit = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return c.alpha() >= 128 && colourMatches(c);
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (hit(x, y)) {
                ++s.pixels;
                s.box |= QRect(x, y, 1, 1);
            }
    if (!s.pixels) return s;
    auto across = [&](int at) {
        int n = 0;
        if (vertical)
            for (int x = s.box.left(); x <= s.box.right(); ++x) n += hit(x, at);
        else
            for (int y = s.box.top(); y <= s.box.bottom(); ++y) n += hit(at, y);
        return n;
    };
    s.firstEnd = across(vertical ? s.box.top() + 1 : s.box.left() + 1);
    s.lastEnd = across(vertical ? s.box.bottom() - 1 : s.box.right() - 1);
    return s;
}

bool red(const QColor& c) { return c.red() > 150 && c.green() < 90 && c.blue() < 90; }
bool yellow(const QColor& c) { return c.red() > 180 && c.green() > 150 && c.blue() < 90; }
bool green(const QColor& c) { return c.green() > 120 && c.red() < 120 && c.blue() < 120; }

TEST(ImageList, ThirteenPicturesOfSixteenPixels) {
    ui::ImageList images;
    ASSERT_EQ(images.count(), 13);
    for (int i = 0; i < images.count(); ++i) {
        const QImage image = ui::renderImage(i);
        ASSERT_EQ(image.size(), QSize(16, 16)) << i;
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) opaque += image.pixelColor(x, y).alpha() > 128;
        EXPECT_GT(opaque, 30) << "picture " << i << " is drawn";
        EXPECT_LT(opaque, 256) << "picture " << i << " keeps a transparent ground";
        EXPECT_FALSE(images.icon(i).isNull()) << i;
    }
    EXPECT_TRUE(images.icon(ui::kImageNone).isNull());
    EXPECT_TRUE(images.icon(13).isNull());
    EXPECT_TRUE(ui::renderImage(13).isNull());
}

TEST(ImageList, TheArrowsPointTheirWaysInTheirColours) {
    const Shape up = shapeOf(ui::renderImage(ui::kImageSortDescending, 32), red, true);
    const Shape down = shapeOf(ui::renderImage(ui::kImageSortAscending, 32), red, true);
    ASSERT_GT(up.pixels, 100);
    ASSERT_GT(down.pixels, 100);
    EXPECT_LT(up.firstEnd, up.lastEnd) << "the up arrow's tip is at the top";
    EXPECT_GT(down.firstEnd, down.lastEnd) << "the down arrow's tip is at the bottom";

    const Shape left = shapeOf(ui::renderImage(ui::kImageOutParameter, 32), yellow, false);
    const Shape right = shapeOf(ui::renderImage(ui::kImageInParameter, 32), green, false);
    ASSERT_GT(left.pixels, 100);
    ASSERT_GT(right.pixels, 100);
    EXPECT_LT(left.firstEnd, left.lastEnd) << "the yellow arrow's tip is on the left";
    EXPECT_GT(right.firstEnd, right.lastEnd) << "the green arrow's tip is on the right";
    EXPECT_EQ(shapeOf(ui::renderImage(ui::kImageOutParameter, 32), green, false).pixels, 0);
    EXPECT_EQ(shapeOf(ui::renderImage(ui::kImageInParameter, 32), yellow, false).pixels, 0);
}

// The style that leaves the bars' extension arrows unmade until painted
// shows the same arrows as the style it stands for, and is put in place once.
TEST(DeferredIconStyle, TheBarsArrowsAreTheStylesOwnPictures) {
    const QString name = QApplication::style()->name();
    const std::unique_ptr<QStyle> reference(QStyleFactory::create(name));
    ASSERT_TRUE(reference) << name.toStdString();

    ui::deferStandardIcons();
    QStyle* style = QApplication::style();
    ui::deferStandardIcons();
    EXPECT_EQ(QApplication::style(), style) << "a second call changes nothing";
    // The same kind of style stands behind it.
    const auto* proxy = qobject_cast<QProxyStyle*>(style);
    ASSERT_TRUE(proxy);
    EXPECT_EQ(proxy->baseStyle()->name().toStdString(), name.toStdString());

    QMenuBar bar;  // built after the call, as the main window's is
    const auto* extension = bar.findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
    ASSERT_TRUE(extension);
    const QIcon fromBar = extension->icon();
    for (const auto arrow :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
        const QIcon deferred = style->standardIcon(arrow);
        const QIcon expected = reference->standardIcon(arrow);
        ASSERT_FALSE(expected.isNull());
        EXPECT_FALSE(deferred.isNull());
        for (const int size : {8, 16, 32}) {
            const QImage want = expected.pixmap(size).toImage();
            ASSERT_FALSE(want.isNull()) << size;
            EXPECT_EQ(deferred.pixmap(size).toImage(), want) << arrow << " at " << size;
            if (arrow == QStyle::SP_ToolBarHorizontalExtensionButton) {
                EXPECT_EQ(fromBar.pixmap(size).toImage(), want) << "the bar's arrow at " << size;
            }
        }
    }
}

}  // namespace
