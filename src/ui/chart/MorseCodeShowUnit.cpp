#include "ui/chart/MorseCodeShowUnit.h"

#include <QFile>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/common/JpegImage.h"
#include "ui/common/WindowFrame.h"

// The resources are compiled into a static library; a program picks them up only when
// something names their initialiser, which must happen outside any namespace.
static void InitResourcesOnce() {
    static const bool done = [] {
        Q_INIT_RESOURCE(cwt);
        return true;
    }();
    (void)done;
}

namespace {

const char kChartResource[] = ":/chart.jpg";

}  // namespace

TMorseCodeForm::TMorseCodeForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("MorseCodeForm"));
    setWindowTitle(QStringLiteral("모스 코드표"));
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    setFont(formFont);
    move(kLeft, kTop);
    resize(kWidth - kLayoutFrameWidth, kHeight - kLayoutFrameHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    FormCreate();
    NameControlsForScreenReaders();
}

// The picture fills the client area and is stretched to it; the label must not ask for the
// picture's own size, or the window could not be made smaller than the chart.
void TMorseCodeForm::FormCreate() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image1->setScaledContents(true);

    InitResourcesOnce();
    QFile file(QString::fromLatin1(kChartResource));
    if (!file.open(QIODevice::ReadOnly)) {
        m_chartError = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    } else {
        const QByteArray bytes = file.readAll();
        const cwt::JpegDecoded chart = cwt::DecodeJpeg(bytes);
        if (chart.ok())
            Image1->setPixmap(QPixmap::fromImage(chart.image));
        else
            m_chartError = chart.error;
    }
    if (!m_chartError.isEmpty()) {
        // Say so in the window rather than show an empty frame.
        Image1->setScaledContents(false);
        Image1->setAlignment(Qt::AlignCenter);
        Image1->setWordWrap(true);
        Image1->setText(QStringLiteral("모스 코드표를 읽지 못했습니다.\n") + m_chartError);
    }
}

void TMorseCodeForm::bringToFront() {
    show();
    raise();
    activateWindow();
}
