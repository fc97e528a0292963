#include "ui/main/AboutBox.h"

#include <QLabel>
#include <QMessageBox>

#include "ui/common/ProgramInfo.h"

QString AboutText() {
    return QStringLiteral(
               "<p><b>%1</b> %2</p>"
               "<p>모스 부호(CW)를 영문과 한글로 연습하고 보내는 프로그램입니다.</p>"
               "<p>홈페이지: <a href=\"%3\">%4</a></p>")
        .arg(cwt::ProgramName().toHtmlEscaped(), cwt::ProgramVersion().toHtmlEscaped(),
             cwt::ProgramHomepage().toHtmlEscaped(), cwt::ProgramHomepageShown().toHtmlEscaped());
}

QMessageBox* ShowAboutBox(QWidget* parent, std::function<void(const QString& url)> openUrl) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("About"), AboutText(),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("AboutBox"));
    box->setTextFormat(Qt::RichText);
    box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // The link goes where the window's own link label goes, through the same call.
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().contains(QStringLiteral("<a "))) continue;
        label->setOpenExternalLinks(false);
        QObject::connect(label, &QLabel::linkActivated, box,
                         [openUrl](const QString& url) { openUrl(url); });
    }
    box->show();
    return box;
}
