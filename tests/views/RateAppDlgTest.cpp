// The rate prompt: its show-again settings when opened by the user and when offered
// by the controller, the thanks only after a link really opened, and the rate
// button that moves between left and top with the dialog's shape.
#include "KvDialogTestSupport.h"

#include <KvRateAppDlg.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QUrl>

using namespace kvdlgtest;

namespace {

const char kShow[] = "Warnings/ShowRateAppDlg2022-01-12";
const char kLastShown[] = "Warnings/LastShowOnDaysUsed";

// The desktop answered by the test.
class ScriptedRateAppDlg : public KvRateAppDlg {
public:
    ScriptedRateAppDlg(bool isAutomatic, bool opens) : KvRateAppDlg(isAutomatic), opens(opens) {}
    bool opens;
    QList<QUrl> opened;

protected:
    bool openLink(const QUrl &url) override
    {
        opened << url;
        return opens;
    }
};

QString thanks() { return QStringLiteral("Thanks for your feedback! ") + QString::fromUcs4(U"\U0001F929"); }

} // namespace

TEST(RateAppDlg, OpenedByTheUserTurnsTheOfferBackOn)
{
    FreshSettings fresh;
    QSettings().setValue(kShow, false);
    KvQmlController controller;
    {
        ScriptedRateAppDlg dialog(false, true);
        EXPECT_FALSE(child<QCheckBox>(&dialog, "checkBoxDontShowAgain")->isVisibleTo(&dialog));
        EXPECT_TRUE(QSettings().value(kShow).toBool());
        dialog.reject();
    }
    // Closed without using the review page: the offer stays on; the days are recorded.
    EXPECT_TRUE(QSettings().value(kShow).toBool());
    EXPECT_EQ(QSettings().value(kLastShown).toInt(), 1);
    EXPECT_EQ(QSettings().value("Settings/TotalDaysUsed").toInt(), 1);
    EXPECT_TRUE(controller.toastMessage().isEmpty());
}

TEST(RateAppDlg, TickedBoxInAnOfferTurnsItOff)
{
    for (bool tick : {false, true}) {
        FreshSettings fresh;
        KvQmlController controller;
        {
            ScriptedRateAppDlg dialog(true, true);
            dialog.show();
            auto *box = child<QCheckBox>(&dialog, "checkBoxDontShowAgain");
            EXPECT_TRUE(box->isVisible());
            box->setChecked(tick);
            dialog.close();  // the window's close control
        }
        EXPECT_EQ(QSettings().value(kShow, true).toBool(), !tick);
        EXPECT_EQ(QSettings().value(kLastShown).toInt(), 1);
    }
}

TEST(RateAppDlg, ThanksOnlyWhenALinkReallyOpened)
{
    struct Case {
        const char *control;  // what the user used
        bool opens;           // whether the desktop opened it
        bool offerOff;        // the offer is off right away
        bool thanked;
    };
    const Case cases[] = {
        {"pushButtonTop", true, true, true},
        {"pushButtonLeft", true, true, true},
        {"labelRate", true, true, true},
        {"labelContact", true, false, true},
        {"pushButtonTop", false, false, false},
        {"labelRate", false, false, false},
        {"labelContact", false, false, false},
    };
    for (const Case &c : cases) {
        FreshSettings fresh;
        KvQmlController controller;
        const std::string what = std::string(c.control) + (c.opens ? " opens" : " fails");
        {
            ScriptedRateAppDlg dialog(true, c.opens);
            dialog.show();
            const QString name = QLatin1String(c.control);
            if (name.startsWith("pushButton")) {
                child<QPushButton>(&dialog, c.control)->click();
            } else {
                auto *label = child<QLabel>(&dialog, c.control);
                const QString href = label->text().section("href=\"", 1).section('"', 0, 0);
                EXPECT_FALSE(href.isEmpty()) << what;
                emit label->linkActivated(href);
            }
            ASSERT_EQ(dialog.opened.size(), 1) << what;
            if (name == "labelContact")
                EXPECT_EQ(dialog.opened.first().scheme(), "https") << what;
            else
                EXPECT_EQ(dialog.opened.first(), QUrl(QLatin1String(KvRateAppDlg::reviewPage))) << what;
            EXPECT_EQ(QSettings().value(kShow, true).toBool(), !c.offerOff) << what;
            EXPECT_TRUE(dialog.isVisible()) << what;  // it stays open
            EXPECT_TRUE(controller.toastMessage().isEmpty()) << what;
            dialog.accept();
        }
        EXPECT_EQ(controller.toastMessage(), c.thanked ? thanks() : QString()) << what;
    }
}

TEST(RateAppDlg, RateButtonAndTextFollowTheShape)
{
    FreshSettings fresh;
    const QString before = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("Kvtest");
    KvQmlController controller;
    ScriptedRateAppDlg dialog(true, false);
    QCoreApplication::setApplicationName(before);
    EXPECT_EQ(dialog.windowTitle(), "Please Rate 'Kvtest'");
    auto *text = child<QLabel>(&dialog, "labelRateApp");
    EXPECT_TRUE(text->text().contains("jump to 'Kvtest' on the review website."));
    EXPECT_TRUE(child<QLabel>(&dialog, "labelContact")->text().contains("Contact 'Kvtest' support"));
    dialog.show();
    auto *left = child<QPushButton>(&dialog, "pushButtonLeft");
    auto *top = child<QPushButton>(&dialog, "pushButtonTop");
    auto *box = child<QCheckBox>(&dialog, "checkBoxDontShowAgain");
    for (int round = 0; round < 2; ++round) {
        dialog.resize(900, 450);
        ASSERT_GT(dialog.width(), dialog.height());
        EXPECT_TRUE(left->isVisible());
        EXPECT_FALSE(top->isVisible());
        EXPECT_TRUE(text->text().contains("the <b>rate logo</b> to the left to jump"));
        EXPECT_EQ(box->text(), "&Do not show this dialog again");
        dialog.resize(450, 800);
        ASSERT_LE(dialog.width(), dialog.height());
        EXPECT_FALSE(left->isVisible());
        EXPECT_TRUE(top->isVisible());
        EXPECT_TRUE(text->text().contains("the <b>rate logo</b> above to jump"));
        EXPECT_EQ(box->text(), "&Do not show this\ndialog again");
    }
    dialog.reject();
}
