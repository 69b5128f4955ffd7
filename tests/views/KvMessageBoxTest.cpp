// The message-box helpers: what each wrapper builds, the test seam, and the
// real modal run.
#include "KvMessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include <functional>

namespace {

struct Seen {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QWidget *parent = nullptr;
    bool modalDialog = false;
    bool deleteOnClose = false;
};

// Shows one box through the seam and records what it looked like.
Seen seen(const std::function<int()> &show, int answer, int *result = nullptr)
{
    Seen s;
    KvScopedMessageBoxAnswerer answerer([&](QMessageBox &box) {
        s.icon = box.icon();
        s.title = box.windowTitle();
        s.text = box.text();
        s.buttons = box.standardButtons();
        s.defaultButton = box.defaultButton() ? box.standardButton(box.defaultButton()) : QMessageBox::NoButton;
        s.parent = box.parentWidget();
        s.modalDialog = box.windowFlags().testFlag(Qt::Dialog) &&
                        box.windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
        s.deleteOnClose = box.testAttribute(Qt::WA_DeleteOnClose);
        return answer;
    });
    const int r = show();
    if (result)
        *result = r;
    return s;
}

TEST(MessageBox, LongFormsTakeParentAndTitle)
{
    QWidget parent;
    struct Case {
        QMessageBox::Icon icon;
        std::function<int(QWidget *, const QString &, const QString &, QMessageBox::StandardButtons,
                          QMessageBox::StandardButton)>
            show;
    };
    const Case cases[] = {{QMessageBox::Critical, criticalMessageBox},
                          {QMessageBox::Information, informationMessageBox},
                          {QMessageBox::Question, questionMessageBox},
                          {QMessageBox::Warning, warningMessageBox}};
    for (const Case &c : cases) {
        int result = 0;
        const Seen s = seen(
            [&] {
                return c.show(&parent, "Title", "Text", QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No,
                              QMessageBox::YesToAll);
            },
            QMessageBox::No, &result);
        EXPECT_EQ(result, QMessageBox::No);
        EXPECT_EQ(s.icon, c.icon);
        EXPECT_EQ(s.title, "Title");
        EXPECT_EQ(s.text, "Text");
        EXPECT_EQ(s.buttons, QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No);
        EXPECT_EQ(s.defaultButton, QMessageBox::YesToAll);
        EXPECT_EQ(s.parent, &parent);
        EXPECT_TRUE(s.modalDialog);
        EXPECT_TRUE(s.deleteOnClose);
    }
}

TEST(MessageBox, ShortFormsUseTheApplicationTitleAndTheRegisteredParent)
{
    QWidget parent;
    setMessageBoxParent(&parent);
    struct Case {
        QMessageBox::Icon icon;
        std::function<int(const QString &, QMessageBox::StandardButtons, QMessageBox::StandardButton)> show;
    };
    const Case cases[] = {{QMessageBox::Critical, criticalMessage},
                          {QMessageBox::Information, informationMessage},
                          {QMessageBox::Question, questionMessage},
                          {QMessageBox::Warning, warningMessage}};
    for (const Case &c : cases) {
        const Seen s = seen([&] { return c.show("Short", QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel); },
                            QMessageBox::Ok);
        EXPECT_EQ(s.icon, c.icon);
        EXPECT_EQ(s.title, QCoreApplication::applicationName());
        EXPECT_EQ(s.text, "Short");
        EXPECT_EQ(s.defaultButton, QMessageBox::Cancel);
        EXPECT_EQ(s.parent, &parent);
    }
    setMessageBoxParent(nullptr);
}

// The parent is held weakly: a deleted parent widget is not handed on.
TEST(MessageBox, DeletedParentIsForgotten)
{
    QWidget *parent = new QWidget;
    setMessageBoxParent(parent);
    delete parent;
    EXPECT_EQ(messageBoxParent(), nullptr);
    const Seen s = seen([] { return warningMessage("x"); }, QMessageBox::Ok);
    EXPECT_EQ(s.parent, nullptr);
}

// Without the seam the box really runs modally, returns the button that
// closed it and deletes itself afterwards.
TEST(MessageBox, RealBoxReturnsTheClickedButtonAndDeletesItself)
{
    struct Step {
        QMessageBox::StandardButtons buttons;
        std::function<void(QMessageBox *)> close;
        int expect;
    };
    const Step steps[] = {
        {QMessageBox::Yes | QMessageBox::No, [](QMessageBox *b) { b->button(QMessageBox::Yes)->click(); },
         QMessageBox::Yes},
        {QMessageBox::Yes | QMessageBox::No, [](QMessageBox *b) { QTest::keyClick(b, Qt::Key_Escape); },
         QMessageBox::No},
        {QMessageBox::Ok | QMessageBox::Cancel, [](QMessageBox *b) { QTest::keyClick(b, Qt::Key_Escape); },
         QMessageBox::Cancel},
    };
    for (const Step &step : steps) {
        QPointer<QMessageBox> shown;
        QTimer::singleShot(0, [&] {
            shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_TRUE(shown);
            step.close(shown);
        });
        const int result = showMessageBox(nullptr, QMessageBox::Question, "Real", "Close me", step.buttons,
                                          QMessageBox::NoButton);
        EXPECT_EQ(result, step.expect);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(shown.isNull());
    }
}

} // namespace
