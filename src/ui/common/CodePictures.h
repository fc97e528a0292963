#pragma once
// The pictures of the codes of Morse table rows 0 to 50, 81 × 9 pixels each, drawn once at
// start-up from the table: a round blue dot for a short element, a blue bar about three
// dots long for a long one, an empty space for a blank, the whole code centred on a
// transparent background. The main window shows one of them while its character is sent.

#include <QImage>
#include <QPixmap>
#include <string_view>
#include <vector>

class CodePictures {
public:
    static constexpr int kWidthPx = 81;
    static constexpr int kHeightPx = 9;

    // Draws all pictures; needs a QGuiApplication (the pixmaps live on the display side).
    CodePictures();

    int count() const { return static_cast<int>(m_images.size()); }

    // The picture of `row` (0 to 50); a null picture for any other row.
    const QPixmap& pixmap(int row) const;
    const QImage& image(int row) const;

    // Draws one code string into an 81 × 9 picture.
    static QImage Draw(std::string_view code);

private:
    std::vector<QImage> m_images;
    std::vector<QPixmap> m_pixmaps;
};
