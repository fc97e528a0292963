#include "ui/common/CodePictures.h"

#include <QPainter>
#include <cmath>

#include "engine/morse/MorseTable.h"

namespace {

// Element sizes in pixels. The longest codes of the table (0 = LLLLL, 78 px; the six
// elements of ',' and ')', 76 px) must fit the 81 pixels of a picture.
constexpr double kDotPx = 5.0;
constexpr double kBarPx = 14.0;  // a dash sounds three dots; drawn slightly shorter to fit
constexpr double kGapPx = 2.0;   // between elements
const QColor kBlue(0, 0, 255);

double ElementWidth(char element) { return element == 'L' ? kBarPx : kDotPx; }

double CodeWidth(std::string_view code) {
    double width = 0;
    for (char element : code) width += ElementWidth(element);
    return code.empty() ? 0 : width + kGapPx * static_cast<double>(code.size() - 1);
}

}  // namespace

CodePictures::CodePictures() {
    m_images.reserve(cwt::kPictureCount);
    m_pixmaps.reserve(cwt::kPictureCount);
    for (int row = 0; row < cwt::kPictureCount; ++row) {
        m_images.push_back(Draw(cwt::MorseCodes[row]));
        m_pixmaps.push_back(QPixmap::fromImage(m_images.back()));
    }
}

const QPixmap& CodePictures::pixmap(int row) const {
    static const QPixmap none;
    return row >= 0 && row < count() ? m_pixmaps[row] : none;
}

const QImage& CodePictures::image(int row) const {
    static const QImage none;
    return row >= 0 && row < count() ? m_images[row] : none;
}

QImage CodePictures::Draw(std::string_view code) {
    QImage image(kWidthPx, kHeightPx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBlue);

    const double top = (kHeightPx - kDotPx) / 2.0;
    // Whole pixels to start from, so every picture is equally sharp.
    double x = std::floor((kWidthPx - CodeWidth(code)) / 2.0);
    for (char element : code) {
        if (element == 'S')
            painter.drawEllipse(QRectF(x, top, kDotPx, kDotPx));
        else if (element == 'L')
            painter.drawRoundedRect(QRectF(x, top, kBarPx, kDotPx), 1.5, 1.5);
        x += ElementWidth(element) + kGapPx;
    }
    return image;
}
