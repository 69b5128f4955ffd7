// The about box: its placeholders filled with the running program's facts, the logo
// at the screen's density, and every button closing it.
#include "KvDialogTestSupport.h"

#include <KvAboutDlg.h>

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QSysInfo>

using namespace kvdlgtest;

TEST(AboutDlg, ShowsTheProgramsFacts)
{
    QCoreApplication::setApplicationVersion("3.2.5.138");
    KvAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "About mp3Morvelta");
    const QString name = QCoreApplication::applicationName() + QChar(0x2122);
    EXPECT_TRUE(child<QLabel>(&dialog, "labelProduct")->text().contains(">" + name + "<"));
    EXPECT_EQ(child<QLabel>(&dialog, "labelBuildNo")->text(),
              "Build number: 3.2.5.138 [" + QSysInfo::buildCpuArchitecture() + "]");
    EXPECT_EQ(child<QLabel>(&dialog, "labelQtVer")->text(), QStringLiteral("Qt Version: ") + qVersion());
    EXPECT_TRUE(child<QLabel>(&dialog, "labelWebLink")->openExternalLinks());

    auto *logo = child<QLabel>(&dialog, "labelIconLogo");
    EXPECT_EQ(logo->minimumSize(), QSize(128, 128));
    EXPECT_EQ(logo->maximumSize(), QSize(128, 128));
    if (QFile::exists(":/Resources/mp3Morvelta_512.png")) {
        const QPixmap pixmap = logo->pixmap(Qt::ReturnByValue);
        EXPECT_EQ(pixmap.height(), qRound(128 * dialog.devicePixelRatioF()));
        EXPECT_EQ(pixmap.devicePixelRatio(), dialog.devicePixelRatioF());
    }
}

TEST(AboutDlg, CloseAccepts)
{
    KvAboutDlg dialog;
    dialog.show();
    boxButton(&dialog, QDialogButtonBox::Close)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}
