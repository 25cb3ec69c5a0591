// ImageList1: the window's 13 small pictures, used by the menus, the methods
// tree and the header of the query result. Drawn as SVG; each is rendered the
// first time something paints it (most are in menus not open at start-up).
#pragma once

#include <QIcon>
#include <QImage>
#include <array>

namespace ui {

enum ImageIndex : int {
    kImageNone = -1,
    kImageComputer = 0,        // connect to host/namespace
    kImageRefresh = 1,         // page with two curved arrows
    kImageExit = 2,            // door
    kImageFind = 3,            // binoculars
    kImageFindAgain = 4,       // binoculars over three dots
    kImageHelp = 5,            // book with a question mark
    kImageHomePage = 6,        // globe
    kImageSupport = 7,         // speech bubble with a question mark
    kImageSortDescending = 8,  // red arrow pointing up
    kImageSortAscending = 9,   // red arrow pointing down
    kImageOutParameter = 10,   // yellow arrow pointing left
    kImageInParameter = 11,    // green arrow pointing right
    kImageMethod = 12,         // hammer with a spanner
};

class ImageList {
  public:
    static constexpr int kCount = 13;
    static constexpr int kSize = 16;

    ImageList();  // its icons need a QGuiApplication when painted

    // A null icon for kImageNone or any index out of range.
    QIcon icon(int index) const;
    int count() const { return kCount; }

  private:
    std::array<QIcon, kCount> icons_;
};

// One picture rendered at size x size pixels on a transparent ground; a null
// image for an index out of range. Works without a GUI application.
QImage renderImage(int index, int size = ImageList::kSize);

// The icon of one picture, rendered at kSize (and twice that on screens with
// more than one device pixel per pixel) when first asked for its pixels; a
// null icon for an index out of range.
QIcon imageIcon(int index);

}  // namespace ui
